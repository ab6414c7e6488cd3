#pragma once
// Local acquisition: the library stores the raw stream itself, in volume files
// on the caller's machine. The acquisition thread fills the raw buffer; the
// local writer thread moves each batch that accumulated into the session's
// ksq::AsyncFileWriter and flushes it.
//
// The local writer thread holds a shared reference to its session. It waits on
// the data-ready signal and leaves only when the acquisition thread has ended
// and the buffer is empty, so every byte fetched from the service reaches the
// files; it then closes the writer (the last volume is cut to its length). It
// is joined under the acquisition control lock by the stops and the next start.

#include "acq/acquisition_state.h"
#include "core/session_context.h"

#include <cstdint>
#include <string>

namespace vel {

// The extension of locally written files for a data format code.
std::string rawFileExtension(int dataFormat);

// The initial mapping and growth step of a local acquisition's volumes: the
// whole volume, up to kLocalVolumeMapBytes (4 MiB when there is no limit).
// One mapping per volume keeps remapping off the stream and leaves room for
// the writer's worker to prepare pages ahead of the copy. The file takes that
// length (its blocks reserved) when the volume is opened and is cut back to
// the bytes written when it is closed. A 32-bit process maps less at a time.
inline constexpr uint64_t kLocalVolumeMapBytes = sizeof(void*) >= 8 ? uint64_t{1} << 30 : uint64_t{64} << 20;
uint64_t localVolumeMapSize(int maxVolumeSize);

// The work of ci_acq_rawdata_local (duration checked by the caller). fileName
// null or empty: the acquisition runs without files and its data is taken
// with ci_fetch_rawdata.
int acquireRawDataLocal(const SessionContext& session, AcquisitionState& acquisition, int dataMode, int duration,
                        const char* folderPath, const char* fileName, int maxVolumeSize, uint8_t forceClose);

// Under the writer lock: flushes, closes and releases the local writer when
// there is one, and clears the local output path.
void closeLocalWriter(AcquisitionState& acquisition);

// True while a local writer exists (ci_fetch_rawdata then hands out nothing).
bool hasLocalWriter(AcquisitionState& acquisition);

}  // namespace vel
