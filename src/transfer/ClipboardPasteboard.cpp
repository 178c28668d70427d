#include "transfer/ClipboardPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace vorn {

ClipboardPasteboard::ClipboardPasteboard(QClipboard* clipboard)
    : m_clipboard(clipboard ? clipboard : QGuiApplication::clipboard())
{
}

void ClipboardPasteboard::clear()
{
    m_staged.clear();
    if (m_clipboard)
        m_clipboard->clear();
}

bool ClipboardPasteboard::setData(const QString& type, const QByteArray& data)
{
    if (!m_clipboard)
        return false;
    putItem(m_staged, type, data);

    auto mime = std::make_unique<QMimeData>();
    for (const auto& [t, bytes] : m_staged) {
        // As text, so the platform offers it under every text flavour other programs ask for.
        if (t == kPlainTextType)
            mime->setText(QString::fromUtf8(bytes));
        else
            mime->setData(t, bytes);
    }
    m_clipboard->setMimeData(mime.release()); // the clipboard owns it from here
    return true;
}

std::optional<QByteArray> ClipboardPasteboard::data(const QString& type) const
{
    const QMimeData* mime = m_clipboard ? m_clipboard->mimeData() : nullptr;
    if (!mime)
        return std::nullopt;
    if (type == kPlainTextType) {
        if (!mime->hasText())
            return std::nullopt;
        return mime->text().toUtf8();
    }
    if (!mime->hasFormat(type))
        return std::nullopt;
    return mime->data(type);
}

} // namespace vorn
