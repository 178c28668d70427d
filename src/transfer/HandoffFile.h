#pragma once

#include "transfer/Pasteboard.h"

namespace vorn {

// The named pasteboard of the planner hand-off: one file in the user's runtime folder named
// kHandoffPasteboardName. Every write replaces the whole file at once, so a reader sees the old
// contents or the new, never a part; a left-over file from an earlier hand-off is simply replaced.
class HandoffFile final : public Pasteboard {
public:
    // Larger files are not read; a hand-off of things and their notes stays far below this.
    static constexpr qint64 kMaxBytes = qint64(64) << 20;

    // The file in the default folder when no path is given.
    explicit HandoffFile(QString path = {});

    // kHandoffPasteboardName in the user's runtime folder (XDG_RUNTIME_DIR), or in a private folder of
    // ours in the temp folder when there is none; empty when no safe folder can be had.
    static QString defaultPath();
    static QString pathIn(const QString& folder);
    const QString& path() const { return m_path; }

    void clear() override;
    bool setData(const QString& type, const QByteArray& data) override;
    std::optional<QByteArray> data(const QString& type) const override;

    // Reads the data of one type and removes the file, in that order and once: two readers racing for
    // the same hand-off never both get it.
    std::optional<QByteArray> take(const QString& type) override;

private:
    QString m_path;
    PasteboardItems m_staged; // what was set since clear()
};

} // namespace vorn
