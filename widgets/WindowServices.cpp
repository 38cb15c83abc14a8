#include "widgets/WindowServices.h"

#include "core/IniFile.h"
#include "core/Placement.h"
#include "core/Settings.h"
#include "platform/ProgramDir.h"
#include "richtext/Ansi.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWidget>

namespace appwidgets {

namespace {
QPointer<QWidget> g_mainWindow;

QRect screenGeometryFor(const QWidget* window) {
  QScreen* screen = window ? window->screen() : nullptr;
  if (!screen)
    screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

int logicalDpi(const QWidget* window) {
  QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
  return screen ? static_cast<int>(screen->logicalDotsPerInch()) : 96;
}

app::IniFile settingsFile() {
  return app::IniFile(platform::IniFileName());
}

std::string placementSection(const QWidget* window) {
  return app::PlacementSectionName(WindowClassName(window).toStdString(), logicalDpi(window));
}

// A rectangle that touches no screen is moved onto the primary screen.
QRect keepOnSomeScreen(QRect rect) {
  for (QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(rect))
      return rect;
  QRect area = screenGeometryFor(nullptr);
  rect.moveTo(area.topLeft());
  return rect.intersected(area).isEmpty() ? area : rect;
}
} // namespace

QWidget* MainWindow() {
  return g_mainWindow.data();
}
void SetMainWindow(QWidget* window) {
  g_mainWindow = window;
}

QString WindowClassName(const QWidget* window) {
  QString name = QString::fromLatin1(window->metaObject()->className());
  int colons = name.lastIndexOf(QStringLiteral("::"));
  return colons >= 0 ? name.mid(colons + 2) : name;
}

void CenterForm(QWidget* window) {
  QRect screen = screenGeometryFor(window);
  QWidget* main = MainWindow();
  app::PlacementRect mainRect;
  bool mainMaximized = false;
  if (main && main != window) {
    QRect g = main->frameGeometry();
    mainRect = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    mainMaximized = main->isMaximized();
  }
  QSize size = window->isVisible() ? window->frameGeometry().size()
                                   : window->size().expandedTo(window->sizeHint());
  // Without a main window there is nothing to centre over: use the screen.
  std::string className =
      (main && main != window) ? WindowClassName(window).toStdString() : std::string("TMainScreen");
  app::PlacementPoint at = app::CenterPosition(className, size.width(), size.height(), mainRect,
                                               mainMaximized, screen.width(), screen.height());
  bool onScreen =
      className == "TMainScreen" ||
      WindowClassName(window).compare(QStringLiteral("TMainScreen"), Qt::CaseInsensitive) == 0 ||
      mainMaximized;
  // Screen-centred positions are relative to the screen's usable area; the
  // others are already in the main window's (global) coordinates.
  window->move(onScreen ? QPoint(screen.left() + at.Left, screen.top() + at.Top)
                        : QPoint(at.Left, at.Top));
}

void RestorePlacement(QWidget* window) {
  app::IniFile ini = settingsFile();
  QRect screen = screenGeometryFor(window);
  app::RestoredPlacement placed = app::ReadPlacement(
      ini, placementSection(window), window->isMaximized(), screen.width(), screen.height());
  if (placed.Centre) {
    CenterForm(window);
  } else {
    const app::PlacementRect& b = placed.Bounds;
    window->setGeometry(keepOnSomeScreen(QRect(b.Left, b.Top, b.Width(), b.Height())));
  }
  if (placed.Maximized)
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
  SavePlacement(window);
}

void SavePlacement(const QWidget* window) {
  QRect normal = window->normalGeometry();
  if (!normal.isValid())
    normal = window->geometry();
  app::IniFile ini = settingsFile();
  try {
    app::WritePlacement(ini, placementSection(window),
                        {normal.left(), normal.top(), normal.left() + normal.width(),
                         normal.top() + normal.height()},
                        window->isMaximized());
  } catch (const app::EIniWriteError&) {
    // A read-only data folder must not stop a window from closing.
  }
}

void PopupBelow(QWidget* button, QMenu* menu) {
  menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

void ProcessPendingEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

BusyCursor::BusyCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}
BusyCursor::~BusyCursor() {
  QApplication::restoreOverrideCursor();
}

QString FromAnsi(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<int>(bytes.size()));
  for (unsigned char byte : bytes)
    text.append(richtext::ansiToUnicode(byte));
  return text;
}

std::string ToAnsi(const QString& text, bool* ok) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.size()));
  bool allMapped = true;
  for (QChar ch : text) {
    int byte = richtext::unicodeToAnsi(ch);
    if (byte < 0) {
      allMapped = false;
      byte = '?';
    }
    bytes.push_back(static_cast<char>(byte));
  }
  if (ok)
    *ok = allMapped;
  return bytes;
}

} // namespace appwidgets
