#pragma once

#include "transfer/Pasteboard.h"

#include <QPointer>

class QClipboard;

namespace vorn {

// The desktop's clipboard as a pasteboard: plain text as text, any other type as its own MIME type.
// Needs a QGuiApplication.
class ClipboardPasteboard final : public Pasteboard {
public:
    // The application's clipboard when none is given.
    explicit ClipboardPasteboard(QClipboard* clipboard = nullptr);

    void clear() override;
    bool setData(const QString& type, const QByteArray& data) override;
    std::optional<QByteArray> data(const QString& type) const override;

private:
    QPointer<QClipboard> m_clipboard;
    // What was set since clear(): the clipboard only takes whole sets of types.
    PasteboardItems m_staged;
};

} // namespace vorn
