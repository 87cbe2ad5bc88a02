#include "registry/site_list_loader.h"

#include "ui/list_view.h"
#include "base/code_map.h"
#include "registry/data_paths.h"
#include "registry/registry_file.h"
#include "registry/watch_table.h"

namespace {

struct Loading {
    const ListView& list;
    CodeSet& textOnlySites;
    WatchTable& watches;
    CodeSet listed;  // codes seen so far
};

void AppendRow(void* context, const ListedSite& site)
{
    Loading& loading = *static_cast<Loading*>(context);
    int row = loading.list.InsertItem(loading.list.GetItemCount(), site.name);
    loading.list.SetItemText(row, 1, site.url);
    loading.list.SetItemData(row, site.code);
    if (site.method == CompareMethod::kTextOnly)
        loading.textOnlySites.Add(site.code);
    if (loading.listed.Add(site.code))
        loading.watches.Put(site.code, site.watch);  // the first entry's: a later one of the code has none
}

}  // namespace

void LoadSiteList(const ListView& list, CodeSet& textOnlySites, WatchTable& watches)
{
    char path[kPathBufferSize];
    if (!MakeRegistryPath(path))
        return;
    // One read of the whole section: reading key by key costs a file open per key.
    LoadedRegistry registry(path);
    if (!registry.Sites())
        return;
    SendMessageA(list.GetSafeHwnd(), WM_SETREDRAW, FALSE, 0);
    Loading loading = {list, textOnlySites, watches, {}};
    registry.Sites()->ForEachListed(AppendRow, &loading);
    SendMessageA(list.GetSafeHwnd(), WM_SETREDRAW, TRUE, 0);
}
