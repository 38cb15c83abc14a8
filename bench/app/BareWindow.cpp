// The peer of the start-up benchmark: a Qt program that shows one empty main
// window and ends as soon as it is up, the way `tolvane` does when
// TOLVANE_QUIT_WHEN_SHOWN is set.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setCentralWidget(new QLabel(QStringLiteral("bare window")));
  window.resize(592, 400);
  window.show();
  QTimer::singleShot(0, &app, [] {
    std::fputs("shown\n", stdout);
    std::fflush(stdout);
    QApplication::quit();
  });
  return app.exec();
}
