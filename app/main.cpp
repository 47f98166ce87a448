#include <QApplication>

#include "Unit1.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  return RunProgram(application);
}
