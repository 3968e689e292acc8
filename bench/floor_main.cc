// The floor of every whole-process timing: a program that links the same libraries
// as the bridge, reads its standard input like the bridge does, and answers nothing.

#include <unistd.h>

#include "calendar/command/json_input.h"

int main() {
  const bridge::Json params = bridge::read_parameters_from(STDIN_FILENO);
  return params.is_object() ? 0 : 1;
}
