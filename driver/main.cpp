// Entry point of the report program `velmar`.
#include "driver/report.h"

int main(int argc, char** argv) {
  return VelmarMain(argc, argv);
}
