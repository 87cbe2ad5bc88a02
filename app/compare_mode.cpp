// A site's comparison: the whole page, or its readable text only. The choice is kept with the
// site's entry in the registry file and takes effect from the site's next turn.
#include "app/monitor_dlg.h"
#include "registry/data_paths.h"
#include "registry/registry_file.h"

void CMonitorDlg::OnCompareWholePage()
{
    SetCompareMode(CompareMethod::kWholePage);
}

void CMonitorDlg::OnCompareTextOnly()
{
    SetCompareMode(CompareMethod::kTextOnly);
}

void CMonitorDlg::SetCompareMode(CompareMethod method)
{
    long code = SelectedSiteCode();
    char registryPath[kPathBufferSize];
    if (code < 0 || !MakeRegistryPath(registryPath) || !SetSiteCompareMode(registryPath, code, method))
        return;
    if (method == CompareMethod::kTextOnly)
        m_textOnlySites.Add(code);
    else
        m_textOnlySites.Remove(code);
}
