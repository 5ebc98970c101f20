#pragma once

// The public interface of the TarnelMP3 control library.

#include "LookupTables.h"
#include "RaisedError.h"
#include "TextHelpers.h"
#include "playlist/PlayListEntry.h"
