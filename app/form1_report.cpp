// The hidden buttons: the text report and the test run.
#include "app/form1.h"

namespace ezg {

void Form1::TxtYaz() {
  // The text report plugs in here.
}

void Form1::TestEt() {
  // The test run plugs in here.
}

}  // namespace ezg
