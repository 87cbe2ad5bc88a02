#include "app/balloon_news.h"

#include "base/decimal.h"
#include "base/text_join.h"
#include "resource.h"
#include "ui/resource_text.h"

namespace {

// One line of news: by name when the set holds one site, else how many.
void MakeLine(char* dst, size_t size, const CodeSet& sites, UINT oneId, UINT manyId, const char* name,
              const char* reason)
{
    char pattern[128];
    if (sites.Size() == 1) {
        const char* texts[] = {name, reason};
        FillText(dst, size, LoadResourceText(oneId, pattern, sizeof pattern), texts, 2);
    } else {
        DecimalText count(static_cast<long>(sites.Size()));
        const char* texts[] = {count};
        FillText(dst, size, LoadResourceText(manyId, pattern, sizeof pattern), texts, 1);
    }
}

}  // namespace

void BalloonNews::AddChange(long code, const char* name)
{
    if (m_changed.Add(code) && m_changed.Size() == 1)
        CopyText(m_changedName, sizeof m_changedName, name);
}

void BalloonNews::AddFailure(long code, const char* name, const char* reason)
{
    if (m_failing.Add(code) && m_failing.Size() == 1) {
        CopyText(m_failingName, sizeof m_failingName, name);
        CopyText(m_failingReason, sizeof m_failingReason, reason);
    }
}

void BalloonNews::Clear()
{
    m_changed.Clear();
    m_failing.Clear();
}

void BalloonNews::MakeText(char* dst, size_t size) const
{
    char changes[256] = {};
    char failures[384] = {};
    if (m_changed.Size() > 0)
        MakeLine(changes, sizeof changes, m_changed, IDS_BALLOON_CHANGED_ONE, IDS_BALLOON_CHANGED_MANY,
                 m_changedName, "");
    if (m_failing.Size() > 0)
        MakeLine(failures, sizeof failures, m_failing, IDS_BALLOON_FAILING_ONE, IDS_BALLOON_FAILING_MANY,
                 m_failingName, m_failingReason);
    const char* pieces[] = {changes, changes[0] && failures[0] ? "\n" : "", failures};
    if (!JoinText(dst, size, pieces, 3))
        CopyText(dst, size, changes[0] ? changes : failures);  // the balloon holds 255 bytes
}
