#include "platform/qt/qt_toolkit.h"

#include <QtGui/QFont>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>

#include <stdexcept>

#include "platform/qt/qt_compat.h"
#include "platform/qt/qt_window.h"

// The logo and the icon, compiled into the program (src/ui/assets/assets.qrc).
// Outside any namespace, as the resource initialiser is declared there.
static void initAssets() { Q_INIT_RESOURCE(assets); }

namespace quorvex {

namespace {
const QtWindow* asQtWindow(const Window& window) { return dynamic_cast<const QtWindow*>(&window); }

std::unique_ptr<QApplication> makeApplication(int& argc, char** argv) {
    qt_compat::prepareApplication();
    return std::make_unique<QApplication>(argc, argv);
}
}  // namespace

QtToolkit::QtToolkit(int& argc, char** argv)
    : app_(makeApplication(argc, argv)), dispatch_(&showErrorReport) {
    initAssets();
    // Hiding or unloading every window never ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // The windows name Chinese faces that Linux desktops do not have; these
    // stand in for them with Simplified Chinese glyphs whatever the locale.
    QFont::insertSubstitution(QStringLiteral("微软雅黑"), QStringLiteral("Noto Sans CJK SC"));
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 9));
}

QtToolkit::~QtToolkit() = default;

std::unique_ptr<Window> QtToolkit::create(const WindowDesc& desc, WindowEvents& events) {
    return std::make_unique<QtWindow>(desc, events, dispatch_);
}

int QtToolkit::run(Window& startup) {
    auto* window = dynamic_cast<QtWindow*>(&startup);
    if (!window) throw std::invalid_argument("the start-up window comes from another toolkit");
    window->raise([](WindowEvents& events) { events.load(); });
    return QApplication::exec();
}

void QtToolkit::processPendingEvents() { QCoreApplication::processEvents(); }

// A queued call on the application object runs on its thread, in posting order.
void QtToolkit::post(std::function<void()> task) {
    QMetaObject::invokeMethod(
        app_.get(), [this, task = std::move(task)] { dispatch_.run(task); }, Qt::QueuedConnection);
}

void showErrorReport(const std::string& message) {
    if (!qApp) return;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
    QMessageBox::critical(nullptr, QGuiApplication::applicationDisplayName(), QString::fromStdString(message));
}

QWidget* QtToolkit::widgetOf(const Window& window) {
    const QtWindow* qtWindow = asQtWindow(window);
    return qtWindow ? qtWindow->widget() : nullptr;
}

QWidget* QtToolkit::controlWidgetOf(const Window& window, ControlId control) {
    const QtWindow* qtWindow = asQtWindow(window);
    return qtWindow ? qtWindow->control(control) : nullptr;
}

}  // namespace quorvex
