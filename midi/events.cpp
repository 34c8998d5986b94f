#include "midi/events.h"

#include <algorithm>
#include <cstring>

#include "midi/vocabulary.h"

namespace ezg::midi {
ByteName nameByte(const Event& e, std::int64_t offset) {
  ByteName n;
  n.offset = offset;
  n.kind = e.kind;
  n.chunk = e.chunk;
  n.status = e.status;
  n.metaType = e.metaType;
  n.track = e.track;
  n.tick = e.tick;
  n.running = e.running;
  const std::int64_t i = offset - e.offset;
  switch (e.kind) {
    case EventKind::ChunkHead: n.role = i < 4 ? ByteRole::ChunkTag : ByteRole::ChunkLength; return n;
    case EventKind::HeaderData: {
      const std::int64_t j = e.dataOffset + i;
      n.role = j < 2   ? ByteRole::HeaderFormat
               : j < 4 ? ByteRole::HeaderTracks
               : j < 6 ? ByteRole::HeaderDivision
                       : ByteRole::HeaderExtra;
      return n;
    }
    case EventKind::ChunkData: n.role = ByteRole::ChunkData; return n;
    case EventKind::MetaData: n.role = ByteRole::MetaData; return n;
    case EventKind::SysExData: n.role = ByteRole::SysExData; return n;
    case EventKind::Skipped: n.role = ByteRole::Skipped; return n;
    case EventKind::AfterChunks: n.role = ByteRole::AfterChunks; return n;
    case EventKind::Channel:
    case EventKind::Meta:
    case EventKind::SysEx:
    case EventKind::Delta: break;
  }
  if (i < e.deltaLength) {
    n.role = e.bytes[i] < kDataLimit ? ByteRole::DeltaLast : ByteRole::DeltaLead;
    return n;
  }
  const std::int64_t j = i - e.deltaLength;
  if (e.kind == EventKind::Channel) {
    const std::int64_t first = e.running ? 0 : 1;  // where the data bytes begin
    n.role = j < first ? ByteRole::Status : j == first ? ByteRole::Data1 : ByteRole::Data2;
    if (e.deltaLength + first < e.length) n.key = e.bytes[e.deltaLength + first];
  } else if (e.kind == EventKind::Meta) {
    n.role = j == 0 ? ByteRole::MetaStatus : j == 1 ? ByteRole::MetaType : ByteRole::MetaLength;
  } else {
    n.role = j == 0 ? ByteRole::SysExStatus : ByteRole::SysExLength;
  }
  return n;
}

bool structural(ByteRole role) {
  switch (role) {
    case ByteRole::ChunkTag:
    case ByteRole::ChunkLength:
    case ByteRole::DeltaLead:
    case ByteRole::Status:
    case ByteRole::MetaStatus:
    case ByteRole::MetaLength:
    case ByteRole::SysExStatus:
    case ByteRole::SysExLength: return true;
    default: return false;
  }
}

}  // namespace ezg::midi
