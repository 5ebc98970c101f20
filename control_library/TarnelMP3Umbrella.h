#pragma once

// Installed as <TarnelMP3.h>: everything of <TarnelMP3/TarnelMP3.h>.
#include <TarnelMP3/TarnelMP3.h>
