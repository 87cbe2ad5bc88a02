// Bringing sites in and taking them out: the Site menu's import (files chosen in the open dialog,
// or dropped on the window) and export (OPML or a plain list, chosen in the save dialog).
#include "app/monitor_dlg.h"

#include <commdlg.h>
#include <shellapi.h>
#include <string.h>

#include "acquisition/file_io.h"
#include "base/cp932.h"
#include "base/decimal.h"
#include "base/text_join.h"
#include "registry/known_urls.h"
#include "registry/site_list_export.h"
#include "registry/site_list_import.h"
#include "registry/site_registration.h"
#include "ui/resource_text.h"

namespace {

const DWORD kFileListSize = 64 * 1024;  // the open dialog's answer: a folder and many names

// The file's name without its folder and extension: the name of a site an Internet shortcut gives.
void BaseName(const char* path, char (&name)[kSiteNameSize])
{
    size_t len = strlen(path);
    long slash = cp932::FindLastChar(path, len, '\\');
    const char* base = path + slash + 1;
    size_t baseLen = len - static_cast<size_t>(slash + 1);
    long dot = cp932::FindLastChar(base, baseLen, '.');
    if (dot > 0)
        baseLen = static_cast<size_t>(dot);
    TextBuilder text(name, sizeof name);
    if (!text.Append(base, baseLen).Ok())
        CopyText(name, sizeof name, "");
}

// A file dialog's filter from the string table, whose texts hold no zero bytes: "|" stands for them.
void LoadFileFilter(UINT id, char* filter, size_t size)
{
    LoadResourceText(id, filter, size);
    for (char* p = filter; *p; ++p)
        *p = *p == '|' ? '\0' : *p;
}

}  // namespace

void CMonitorDlg::OnImportSites()
{
    HeapBlock files(kFileListSize);
    char filter[256];
    char caption[64];
    if (!files)
        return TellImport(IDS_IMPORT_NO_MEMORY, nullptr);
    files.Data()[0] = '\0';
    LoadFileFilter(IDS_IMPORT_FILTER, filter, sizeof filter);
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = m_hWnd;
    open.lpstrFilter = filter;
    open.lpstrFile = files.Data();
    open.nMaxFile = kFileListSize;
    open.lpstrTitle = LoadResourceText(IDS_IMPORT_CAPTION, caption, sizeof caption);
    open.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&open))
        return;
    // One file: its path. Several: the folder, then each name, each ended by a zero byte.
    const char* first = files.Data();
    const char* name = first + strlen(first) + 1;
    FileList list;
    if (*name == '\0') {
        list.Add(first);
    } else {
        for (; *name; name += strlen(name) + 1) {
            char path[kPathBufferSize];
            const char* pieces[] = {first, "\\", name};
            if (JoinPath(path, pieces))
                list.Add(path);
        }
    }
    ImportSiteFiles(list);
}

bool CMonitorDlg::OnDropFiles(HDROP drop)
{
    FileList list;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        char path[kPathBufferSize];
        if (DragQueryFileA(drop, i, path, sizeof path) < sizeof path)
            list.Add(path);
    }
    DragFinish(drop);
    ImportSiteFiles(list);
    return true;
}

// Reads every file before anything is registered: a file that cannot be read, is too large or
// holds too many entries stops the import with a box, and nothing changes.
void CMonitorDlg::ImportSiteFiles(const FileList& files)
{
    SiteListImport import;
    for (size_t i = 0; i < files.Count(); ++i) {
        const char* path = files.Path(i);
        InputFile file;
        uint64_t size = 0;
        if (!file.Open(path) || !file.Size(&size))
            return TellImport(IDS_IMPORT_UNREADABLE_FILE, path);
        if (size > kImportMaxFileBytes)
            return TellImport(IDS_IMPORT_TOO_LARGE, path);
        HeapBlock data(static_cast<size_t>(size) + 1);
        if (!data)
            return TellImport(IDS_IMPORT_NO_MEMORY, path);
        if (file.ReadFull(data.Data(), static_cast<size_t>(size)) != static_cast<long>(size))
            return TellImport(IDS_IMPORT_UNREADABLE_FILE, path);
        char name[kSiteNameSize];
        BaseName(path, name);
        SiteListImport::Outcome outcome = import.Read(data.Data(), static_cast<size_t>(size), name);
        if (outcome == SiteListImport::kTooLarge)
            return TellImport(IDS_IMPORT_TOO_LARGE, path);
        if (outcome == SiteListImport::kTooManyEntries || import.Count() > kImportMaxEntries)
            return TellImport(IDS_IMPORT_TOO_MANY, path);
        if (outcome != SiteListImport::kRead)
            return TellImport(IDS_IMPORT_NO_MEMORY, path);
    }
    RegisterImported(import);
}

// Registers the imported sites that are not listed yet, all in one write of the registry file,
// each exactly as the registration dialog registers one: a code no entry or folder uses, the
// entry, the site folder, the row on top; then tells what came of it.
void CMonitorDlg::RegisterImported(const SiteListImport& import)
{
    KnownUrls known;
    ListView sites = SiteList();
    for (int row = 0, count = sites.GetItemCount(); row < count; ++row) {
        char url[kSiteUrlSize];
        sites.GetItemText(row, 1, url, sizeof url);
        known.Add(url);
    }
    HeapBlock block(import.Count() * sizeof(NewSiteEntry) + 1);
    if (!block)
        return TellImport(IDS_IMPORT_NO_MEMORY, nullptr);
    auto* entries = reinterpret_cast<NewSiteEntry*>(block.Data());
    size_t count = 0;
    size_t listed = 0;
    NewSiteCodes codes;
    for (size_t i = 0; i < import.Count(); ++i) {
        ImportedSite site = import.Site(i);
        if (!known.Add(site.url)) {
            ++listed;
            continue;
        }
        NewSiteEntry& entry = entries[count++];
        entry.name = site.name;
        entry.url = site.url;
        entry.code = codes.Next();
        ReadImportedSettings(site, &entry.method, &entry.watch);
    }
    StoreResult stored = StoreNewSites(entries, count);
    if (stored != StoreResult::kStored)
        return TellNotStored(stored);
    sites.SetRedraw(false);
    for (size_t i = 0; i < count; ++i)
        ListNewSite(entries[i]);
    sites.SetRedraw(true);
    TellImported(count, listed, import.Unreadable());
}

// Lists a stored site as the registration dialog's OK does, with the settings it came with.
void CMonitorDlg::ListNewSite(const NewSiteEntry& site)
{
    InsertSiteRow(site.name, site.url, site.code);
    if (site.method == CompareMethod::kTextOnly)
        m_textOnlySites.Add(site.code);
    m_watches.Put(site.code, site.watch);
}

void CMonitorDlg::TellImport(UINT textId, const char* path)
{
    char text[512];
    char caption[64];
    LoadResourceText(textId, text, sizeof text);
    const char* pieces[] = {text, path ? "\n" : "", path ? path : ""};
    char whole[800];
    JoinText(whole, sizeof whole, pieces, 3);
    MessageBoxA(m_hWnd, whole, LoadResourceText(IDS_IMPORT_CAPTION, caption, sizeof caption), MB_OK | MB_ICONWARNING);
}

// "<n> 件のサイトを登録しました。" and, when some were not, how many were listed already or
// could not be read.
void CMonitorDlg::TellImported(size_t registered, size_t listed, size_t unreadable)
{
    char pattern[160];
    char done[160];
    char skipped[200] = {};
    DecimalText n(static_cast<long>(registered));
    DecimalText m(static_cast<long>(listed));
    DecimalText k(static_cast<long>(unreadable));
    const char* count[] = {n};
    FillText(done, LoadResourceText(IDS_IMPORT_DONE, pattern, sizeof pattern), count);
    if (listed > 0 || unreadable > 0) {
        const char* counts[] = {m, k};
        FillText(skipped, LoadResourceText(IDS_IMPORT_SKIPPED, pattern, sizeof pattern), counts);
    }
    const char* pieces[] = {done, skipped[0] ? "\n" : "", skipped};
    char text[400];
    JoinText(text, sizeof text, pieces, 3);
    char caption[64];
    MessageBoxA(m_hWnd, text, LoadResourceText(IDS_IMPORT_CAPTION, caption, sizeof caption), MB_OK | MB_ICONINFORMATION);
}

void CMonitorDlg::OnExportSites()
{
    char path[kPathBufferSize] = "sitewake.opml";
    char filter[256];
    char caption[64];
    LoadFileFilter(IDS_EXPORT_FILTER, filter, sizeof filter);
    OPENFILENAMEA save = {};
    save.lStructSize = sizeof save;
    save.hwndOwner = m_hWnd;
    save.lpstrFilter = filter;
    save.nFilterIndex = 1;
    save.lpstrFile = path;
    save.nMaxFile = sizeof path;
    save.lpstrDefExt = "opml";
    save.lpstrTitle = LoadResourceText(IDS_EXPORT_CAPTION, caption, sizeof caption);
    save.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&save))
        return;
    ExportSites(path, save.nFilterIndex == 2 ? ExportFormat::kPlainList : ExportFormat::kOpml);
}

// Writes every listed site, with its settings, to the file.
void CMonitorDlg::ExportSites(const char* path, ExportFormat format)
{
    ExportedSites listed;
    if (!CollectSites(&listed))
        return TellImport(IDS_IMPORT_NO_MEMORY, nullptr);
    HeapBlock text;
    size_t len = 0;
    bool written = FormatSiteList(format, listed.Sites(), listed.Count(), &text, &len) &&
                   WriteSiteListFile(path, text.Data(), len);
    char message[256];
    char caption[64];
    DecimalText n(static_cast<long>(listed.Count()));
    const char* count[] = {n};
    char pattern[200];
    if (written)
        FillText(message, LoadResourceText(IDS_EXPORT_DONE, pattern, sizeof pattern), count);
    else
        LoadResourceText(IDS_EXPORT_FAILED, message, sizeof message);
    const char* pieces[] = {message, "\n", path};
    char whole[600];
    JoinText(whole, sizeof whole, pieces, 3);
    MessageBoxA(m_hWnd, whole, LoadResourceText(IDS_EXPORT_CAPTION, caption, sizeof caption),
                MB_OK | (written ? MB_ICONINFORMATION : MB_ICONWARNING));
}

// The listed sites in list order, each by its own name (the worker's row shows a status text).
bool CMonitorDlg::CollectSites(ExportedSites* out) const
{
    ListView sites = SiteList();
    int count = sites.GetItemCount();
    if (!out->Reserve(static_cast<size_t>(count)))
        return false;
    for (int row = 0; row < count; ++row) {
        char name[kSiteNameSize];
        char url[kSiteUrlSize];
        if (IsWorkerRow(row))
            CopyText(name, sizeof name, NameForWorkerRow(m_strWorkerName));
        else
            sites.GetItemText(row, 0, name, sizeof name);
        sites.GetItemText(row, 1, url, sizeof url);
        long code = static_cast<long>(sites.GetItemData(row));
        SiteWatch watch;
        m_watches.Get(code, &watch);
        out->Add(name, url, m_textOnlySites.Contains(code) ? CompareMethod::kTextOnly : CompareMethod::kWholePage, watch);
    }
    return true;
}
