// Whether a file is still exactly what a conversion of its kept original
// wrote, told from the two files alone.
//
// A conversion is a pure function of the original's bytes, the version
// written and what it kept, so no record of it is needed: the file's
// version byte gives the version, the kinds of content that the original
// has and the file lacks give the keep flags that were off, and the
// original is converted again in memory and compared with the file, a part
// at a time as the conversion makes it. Work saved under the user's name
// after the conversion differs from that, and so does a file of another
// program's.
#pragma once

#include "bytes/StatusCode.h"
#include "replace/OriginalFile.h"

namespace qwz {

struct ConvertedVerdict {
    bool same = false;        // the file is the conversion of the original
    Reason reason;  // otherwise what differs, or why it cannot be told (Polish)
};

// Judges the held user's file against its held kept original. Both are
// seen in place where the system can, else read; neither is changed.
ConvertedVerdict JudgeAgainstOriginal(replace::OriginalFile& file, replace::OriginalFile& original);

}  // namespace qwz
