#include "model/ListFilter.h"

#include "model/AppModel.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

namespace vorn {

namespace {

// Folds case fully (so "ß" meets "ss") and strips accents, so "MILK" finds "Oat milk" and "cafe" finds
// "Café".
QString searchForm(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString stripped;
    stripped.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const auto category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing)
            stripped.append(c);
    }
    const auto* source = reinterpret_cast<const UChar*>(stripped.utf16());
    QString folded(stripped.size() * 3 + 1, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = u_strFoldCase(reinterpret_cast<UChar*>(folded.data()), int32_t(folded.size()), source,
                                    int32_t(stripped.size()), U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return stripped.toCaseFolded();
    folded.truncate(n);
    return folded;
}

} // namespace

ListFilter::ListFilter(const AppModel& model, const Source& source, Search search)
    : m_model(model), m_source(source)
{
    const std::optional<Source> showing = model.source();
    m_lingerHere = showing && *showing == source && !model.lingering().isEmpty();
    if (search == Search::applies && !model.searchText().isEmpty())
        m_needle = searchForm(model.searchText());
}

bool ListFilter::shows(const Thing& t) const
{
    // Lingering things stay only in the list of the tab that is showing.
    if (!(m_model.source(t) == m_source || (m_lingerHere && m_model.lingering().contains(t.id()))))
        return false;
    return m_needle.isEmpty() || searchForm(t.title()).contains(m_needle);
}

} // namespace vorn
