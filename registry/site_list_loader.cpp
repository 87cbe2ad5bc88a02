#include "registry/site_list_loader.h"

#include "app/list_view.h"
#include "registry/data_paths.h"
#include "registry/registry_file.h"

namespace {

void AppendRow(void* context, const ListedSite& site)
{
    const ListView& list = *static_cast<const ListView*>(context);
    int row = list.InsertItem(list.GetItemCount(), site.name);
    list.SetItemText(row, 1, site.url);
    list.SetItemData(row, site.code);
}

}  // namespace

void LoadSiteList(const ListView& list)
{
    char path[kPathBufferSize];
    if (!MakeRegistryPath(path))
        return;
    // One read of the whole section: reading key by key costs a file open per key.
    LoadedRegistry registry(path);
    if (!registry.Sites())
        return;
    SendMessageA(list.GetSafeHwnd(), WM_SETREDRAW, FALSE, 0);
    registry.Sites()->ForEachListed(AppendRow, const_cast<ListView*>(&list));
    SendMessageA(list.GetSafeHwnd(), WM_SETREDRAW, TRUE, 0);
}
