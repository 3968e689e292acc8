#include "calendar/apple/command_outcome.h"
