#pragma once
// The raw data stream from the service. Without a file name an acquisition
// runs the acquisition thread, which keeps sending "fetch_rawdata" and appends
// every payload to the session's raw buffer; callers take the backlog with
// ci_fetch_rawdata, or the local writer drains it to volume files.
//
// The acquisition thread holds a shared reference to its session (so the
// session outlives ci_destroy until the thread ends). It waits 500 ms before the first poll, polls back to back
// while data arrives and pauses 100 us after an empty or failed poll. It ends
// when a stop is requested (waking at once from a pause), after 3 failed polls
// in a row or after 50 empty polls in a row; then it sets the stop flag, marks
// itself ended and wakes every waiter of the data-ready signal. The stops and
// the next start join it under the acquisition control lock.

#include "acq/acquisition_state.h"
#include "core/session_context.h"

#include <cstddef>
#include <cstdint>
#include <limits>

namespace vel {

// The largest block ci_fetch_rawdata hands over at once: sizes are signed 32-bit.
inline constexpr size_t kMaxRawBlockBytes = static_cast<size_t>(std::numeric_limits<int32_t>::max());

// Stops and joins the threads of a running acquisition, then closes a local
// writer that is still open. Run at the start of every acquisition.
void resetAcquisition(const SessionContext& session, AcquisitionState& acquisition);

// Sets the stop flag, wakes every waiter and joins the acquisition thread and
// the local writer thread. 0, or -1 for an exception (logged as "Stop
// acquisition thread exception: ...").
int stopAcquisitionThreads(const SessionContext& session, AcquisitionState& acquisition);

// Creates the raw buffer when the session has none (an existing one keeps its
// bytes), clears the stop flag and starts the acquisition thread. 0; throws
// for a session that is not shared-owned.
int startAcquisitionThread(const SessionContext& session, AcquisitionState& acquisition);

// One "fetch_rawdata" exchange: 0 with the payload in chunk (empty when the
// service has nothing yet), or -1: no connection (not logged), a
// JSON reply ("Fetch raw data failed:<reply>") or an exception ("Fetch RAW
// data exception: ...").
int fetchRawChunk(const SessionContext& session, RawBytes& chunk);

// Hands one received chunk to the raw buffer, after waiting while the caller
// or a local writer has kRawBacklogLimit bytes or more to catch up on. An empty buffer
// whose storage is no larger than the chunk's takes the chunk over whole, and
// the chunk gets the buffer's storage for the next poll. Otherwise the chunk
// is copied into the buffer, which keeps the larger storage it grew while the
// caller or the local writer fell behind; the local writer hands its batch's
// storage back the same way, so a steady stream goes round the same few
// buffers. Fresh storage costs a page fault per page on its first use,
// several times the cost of the copy. Without a buffer (released by
// ci_stop_acq) the bytes are dropped. Wakes every waiter for data.
void appendToRawBuffer(AcquisitionState& acquisition, RawBytes& chunk);

// Moves up to maxBytes from the front of buffer into a new malloc block and
// stores their count in size. Null (buffer untouched) when buffer is empty or
// the block cannot be allocated.
char* takeRawBacklog(RawBytes& buffer, size_t maxBytes, int& size);

// The work of ci_acq_rawdata (duration checked by the caller),
// ci_fetch_rawdata (*size set to 0 by the caller) and ci_stop_acq.
int acquireRawData(const SessionContext& session, AcquisitionState& acquisition, int dataMode, int duration,
                   const char* folderPath, const char* fileName, int maxVolumeSize, uint8_t forceClose);
char* fetchRawData(AcquisitionState& acquisition, int* size, int timeoutMs);
int stopAcquisition(const SessionContext& session, AcquisitionState& acquisition);

}  // namespace vel
