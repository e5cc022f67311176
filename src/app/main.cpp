// Tolmera: a desktop fax program.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tolmera");
  QApplication::setApplicationDisplayName("Tolmera");
  QMainWindow window;
  window.setWindowTitle("Tolmera ");
  window.setCentralWidget(new QLabel(QObject::tr("The main window is being built."), &window));
  window.resize(800, 500);
  window.show();
  return QApplication::exec();
}
