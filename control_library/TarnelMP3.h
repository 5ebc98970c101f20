#pragma once

// The public interface of the TarnelMP3 control library: the player and
// playlist controls, the playlist entry, the equalizer and its bands, the
// raised error and its numbers, the enumerations and the shared tables.

#include <TarnelMP3/Enumerations.h>
#include <TarnelMP3/Equalizer.h>
#include <TarnelMP3/EqualizerBand.h>
#include <TarnelMP3/ErrorNumbers.h>
#include <TarnelMP3/LookupTables.h>
#include <TarnelMP3/PlayListEntry.h>
#include <TarnelMP3/RaisedError.h>
#include <TarnelMP3/SBMP3PlayList.h>
#include <TarnelMP3/SBMP3Player.h>
#include <TarnelMP3/TextHelpers.h>
