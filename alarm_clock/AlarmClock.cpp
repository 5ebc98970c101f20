#include "AlarmClock.h"
