#include "SettingsFile.h"
