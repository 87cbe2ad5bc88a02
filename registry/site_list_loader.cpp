#include "registry/site_list_loader.h"

#include "ui/list_view.h"
#include "base/code_map.h"
#include "registry/data_paths.h"
#include "registry/registry_file.h"

namespace {

struct Loading {
    const ListView& list;
    CodeSet& textOnlySites;
};

void AppendRow(void* context, const ListedSite& site)
{
    const Loading& loading = *static_cast<const Loading*>(context);
    int row = loading.list.InsertItem(loading.list.GetItemCount(), site.name);
    loading.list.SetItemText(row, 1, site.url);
    loading.list.SetItemData(row, site.code);
    if (site.method == CompareMethod::kTextOnly)
        loading.textOnlySites.Add(site.code);
}

}  // namespace

void LoadSiteList(const ListView& list, CodeSet& textOnlySites)
{
    char path[kPathBufferSize];
    if (!MakeRegistryPath(path))
        return;
    // One read of the whole section: reading key by key costs a file open per key.
    LoadedRegistry registry(path);
    if (!registry.Sites())
        return;
    SendMessageA(list.GetSafeHwnd(), WM_SETREDRAW, FALSE, 0);
    Loading loading = {list, textOnlySites};
    registry.Sites()->ForEachListed(AppendRow, &loading);
    SendMessageA(list.GetSafeHwnd(), WM_SETREDRAW, TRUE, 0);
}
