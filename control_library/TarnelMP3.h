#pragma once

// The public interface of the TarnelMP3 control library.

#include "Enumerations.h"
#include "LookupTables.h"
#include "RaisedError.h"
#include "TextHelpers.h"
#include "equalizer/Equalizer.h"
#include "equalizer/EqualizerBand.h"
#include "playlist/PlayListEntry.h"
