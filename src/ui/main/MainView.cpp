#include "ui/main/MainView.h"

#include "model/AppModel.h"
#include "model/Constants.h"
#include "pixel/Theme.h"
#include "ui/components/FieldLook.h"
#include "ui/components/ThemedLabel.h"
#include "ui/components/ToastView.h"
#include "ui/list/ThingList.h"
#include "ui/main/TabStrip.h"
#include "ui/main/ToolbarButtons.h"
#include "ui/screens/ListScreen.h"
#include "ui/screens/RandomScreen.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPainter>
#include <QTimer>

namespace vorn {

namespace {
constexpr int kMinimumWidth = 560;
constexpr int kMinimumHeight = 420;
constexpr int kToolbarHeight = 44;
constexpr int kToolbarSpacer = 12;
constexpr int kSearchWidth = 180;
} // namespace

MainView::MainView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("mainView"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(makeToolbar());

    m_toast = new ToastView(model, this);
    m_toast->setObjectName(QStringLiteral("toast"));

    connect(&m_model, &AppModel::changed, this, [this](AppModel::Field field) {
        switch (field) {
        case AppModel::Field::tab:
        case AppModel::Field::piles:
            showScreenForTab();
            refreshToolbar();
            break;
        case AppModel::Field::searchText:
            if (m_search->text() != m_model.searchText())
                m_search->setText(m_model.searchText());
            break;
        case AppModel::Field::editingNote:
            followEditingNote();
            break;
        case AppModel::Field::toast:
            placeToast();
            break;
        default:
            break;
        }
    });
    showScreenForTab();
    refreshToolbar();
}

ThingList* MainView::thingList() const
{
    return m_list;
}

QWidget* MainView::makeToolbar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setFixedHeight(kToolbarHeight);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(8);

    // The strip takes what the other items leave and folds the tabs that do not fit.
    m_tabs = new TabStrip(m_model, bar);
    row->addWidget(m_tabs, 0, Qt::AlignVCenter);
    row->addStretch(1);

    m_focus = new FocusButton(bar);
    connect(m_focus, &QAbstractButton::clicked, this, [this] { Q_EMIT focusModeRequested(); });
    m_focus->setEnabled(false);
    row->addWidget(m_focus, 0, Qt::AlignVCenter);
    row->addSpacing(kToolbarSpacer);

    m_newThing = new NewThingButton(bar);
    connect(m_newThing, &QAbstractButton::clicked, this, [this] { m_model.requestAdd(); });
    row->addWidget(m_newThing, 0, Qt::AlignVCenter);

    m_search = new QLineEdit(bar);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setFixedWidth(kSearchWidth);
    m_search->setFont(uiFont(13));
    giveFieldLook(*m_search);
    // The clear button shows only over text, and making it loads the style's icons: it is made when
    // the field first has text, not on the way to the first frame.
    const auto clearButtonOnceTyped = [field = m_search](const QString& text) {
        if (!text.isEmpty() && !field->isClearButtonEnabled())
            field->setClearButtonEnabled(true);
    };
    connect(m_search, &QLineEdit::textChanged, m_search, clearButtonOnceTyped);
    m_search->setText(m_model.searchText());
    m_search->installEventFilter(this);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != m_model.searchText())
            m_model.setSearchText(text);
    });
    row->addWidget(m_search, 0, Qt::AlignVCenter);
    return bar;
}

void MainView::refreshToolbar()
{
    const auto source = m_model.source();
    m_newThing->setEnabled(source && *source != Source::doneIsh);
}

void MainView::showScreenForTab()
{
    const auto source = m_model.source();
    // A pile renamed or the piles reordered keeps the same screen; only a new source makes a new one.
    if (m_screen && source == m_shownSource)
        return;
    // Replacing the screen drops its view state, as a change of list should.
    if (m_screen) {
        m_layout->removeWidget(m_screen);
        m_screen->hide();
        m_screen->deleteLater();
    }
    m_list = nullptr;
    if (source) {
        auto* screen = new ListScreen(m_model, *source, this);
        m_list = screen->list();
        m_screen = screen;
    } else {
        m_screen = new RandomScreen(m_model, this);
    }
    m_shownSource = source;
    m_layout->addWidget(m_screen, 1);
    m_screen->show();
    m_toast->raise();
    // The list takes the keys whenever it appears, so every list is usable without the mouse.
    if (m_list)
        m_list->setFocus();
    else
        m_screen->setFocus();
}

bool MainView::eventFilter(QObject* watched, QEvent* event)
{
    // Escape in the search field clears it, and once empty hands the keys back to the list.
    if (watched == m_search && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (!m_search->text().isEmpty())
            m_search->clear();
        else if (m_list)
            m_list->setFocus();
        else if (m_screen)
            m_screen->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainView::connectNotify(const QMetaMethod& signal)
{
    if (signal == QMetaMethod::fromSignal(&MainView::focusModeRequested))
        m_focus->setEnabled(true);
}

void MainView::followEditingNote()
{
    const std::optional<NoteTarget>& target = m_model.editingNote();
    if (m_noteSheet && (!target || m_noteSheet->target() != *target)) {
        // Hiding saves it; it goes once the event that closed it is over.
        NoteSheet* sheet = m_noteSheet;
        m_noteSheet = nullptr;
        sheet->hide();
        sheet->deleteLater();
    }
    if (!target || m_noteSheet)
        return;
    m_noteSheet = new NoteSheet(m_model, *target, window());
    m_noteSheet->show();
}

void MainView::restoreFocusMode()
{
    if (m_restoredMode)
        return;
    m_restoredMode = true;
    if (!m_model.settings().boolValue(QString(kFocusLastModeKey), false))
        return;
    pollForWindow(pollCount);
}

void MainView::pollForWindow(int remaining)
{
    const bool visible = m_windowVisible ? m_windowVisible() : window()->isVisible();
    if (visible || remaining <= 0) {
        Q_EMIT focusModeRequested();
        return;
    }
    QTimer::singleShot(pollMSecs, this, [this, remaining] { pollForWindow(remaining - 1); });
}

void MainView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    placeToast();
    if (!m_restoredMode)
        QTimer::singleShot(0, this, &MainView::restoreFocusMode);
}

void MainView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeToast();
}

void MainView::placeToast()
{
    const QSize size = QLayout::closestAcceptableSize(m_toast, m_toast->sizeHint()).boundedTo(this->size());
    m_toast->setGeometry((width() - size.width()) / 2, height() - toastBottom - size.height(), size.width(),
                         size.height());
    m_toast->raise();
}

void MainView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Color::vornBackground().resolved(palette()));
}

} // namespace vorn
