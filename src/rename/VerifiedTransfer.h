#pragma once
// The file work of a rename batch, done by the program itself so that every copy is proved
// before it counts and a run shows its progress and can stop at any moment.
//
// Each pair is copied in blocks under a temporary name in its destination folder, the
// source hashed as it is read (a card is read once); the copy is then read back past the
// system's cache where the platform allows, and compared with that hash; only then does it
// take its final name (never replacing anything), and only then, for a move, does the
// source go. A move within one volume is a rename: nothing is copied. A cancel stops
// within a block: the temporary file is removed, so no half-written file ever holds a final
// name and every photo is either filed and verified or still at its source.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"

namespace tess {

struct TransferPair {
  std::u16string source;
  // Empty when the destination holds the photo already and only its backup is written: the
  // source then stays, even in a move.
  std::u16string destination;
  // A second copy written from the same read of the source, verified as the first; empty for
  // none. The pair arrives only when every copy it asks for verified.
  std::u16string backup;
};

enum class TransferAction { Copy, Move };

enum class TransferPhase { Copying, Verifying, Moving };

struct TransferProgress {
  size_t filesDone = 0;
  size_t filesTotal = 0;
  uint64_t bytesDone = 0;  // bytes copied (or renamed) of the files so far
  uint64_t bytesTotal = 0;
  TransferPhase phase = TransferPhase::Copying;
};

// What happened to one pair, step by step, for a record of the run (an undo journal) to follow.
enum class PairStep {
  Planned,        // about to be worked on
  Written,        // the copy is written whole under its temporary name
  Verified,       // the copy holds the source's bytes and has its final name
  Renamed,        // moved within its volume: the source now has the destination's path
  SourceRemoved,  // a move's source was taken away after its copy verified
  Failed,         // the pair did not arrive; its source is where it was
};

enum class PairResult {
  NotStarted,       // the run was cancelled before this pair
  Done,             // filed and verified (or renamed); a move's source is gone
  Cancelled,        // stopped during this pair: the partial copy removed, the source whole
  ReadFailed,       // the source could not be read whole: no copy kept
  WriteFailed,      // the copy could not be written whole (a full disk): no copy kept
  VerifyFailed,     // the copy read back differs from the source: removed
  DestinationTaken, // something appeared at the destination meanwhile: nothing replaced
  SourceStays,      // a move's copy filed and verified, but its source could not be removed
  SourceChanged,    // the source's bytes were not those expected: no copy kept
};

class TransferObserver {
 public:
  virtual ~TransferObserver() = default;
  // Often (after every block): throttle before drawing.
  virtual void OnProgress(const TransferProgress& progress) {}
  // `index` is the pair's place in the list given to the run.
  virtual void OnPairStep(size_t index, const TransferPair& pair, PairStep step) {}
  // What is about to reach a pair's destination, told just before it takes its final name
  // (before its Verified or Renamed step): its size and, for a verified copy, ContentHash of
  // its bytes (empty for a rename). A record of the run written here knows, after a crash,
  // that what lies at the destination may be this pair's, and what it must hold.
  virtual void OnPairContent(size_t index, uint64_t size, const std::string& hash) {}
  // Just before a temporary file is created for a pair (at a free name): a record of it lets
  // whoever finds it after a crash remove it, and only it. Also for the backup's.
  virtual void OnTemporary(size_t index, const std::u16string& path) {}
  // The backup copy's own steps, told as the main copy's are: what is about to take the
  // backup's name, then Verified; Failed when its verified copy had to go again (the pair
  // did not arrive at its other destination).
  virtual void OnBackupContent(size_t index, uint64_t size, const std::string& hash) {}
  virtual void OnBackupStep(size_t index, const TransferPair& pair, PairStep step) {}
};

struct TransferOptions {
  TransferObserver* observer = nullptr;
  const CancelToken* cancel = nullptr;
  // False copies without reading back: only for measuring what verifying costs.
  bool verify = true;
  // The copy goes through a buffer small enough to stay in the processor's cache between
  // the read that fills it and the write that empties it (1 MiB blocks cost 1.6x `cp` off
  // Windows, 64 KiB blocks 1.0x to 1.2x). The read-back goes in large blocks, as unbuffered
  // reads of a disk want them.
  size_t blockSize = 64 << 10;
  size_t verifyBlockSize = 1 << 20;
  // When given, ContentHash each pair's source must have (an empty one: any): a source read
  // otherwise leaves nothing behind (SourceChanged). An undo's copy back proves with it
  // that what it brings back is what the run filed.
  const std::vector<std::string>* expectedHashes = nullptr;
  // When given, filled with why each pair that could not be read or written failed.
  std::vector<TransferFault>* faults = nullptr;
  // When given, true for each pair that failed at its backup destination.
  std::vector<bool>* failedAtBackup = nullptr;
};

// Works through the pairs in order; one result per pair. A pair with a backup reads its
// source once: each block is hashed once and written to both copies, and both are read back
// and proved against that hash before either takes its final name. A move deletes its source
// only once both verified; within one volume its main copy is a rename, made after the
// backup verified. If either copy fails, the other goes too and the source stays. Missing
// destination folders are created, and those left empty at the end removed. Destinations
// are expected to be free (the rename run checks them first); one that is taken meanwhile
// is left alone.
std::vector<PairResult> TransferFiles(const std::vector<TransferPair>& pairs, TransferAction action, FileSystem& fs,
                                      FileTransfer& io, const TransferOptions& options = {});

// The name a copy is written under until it has verified: hidden-looking, in the same
// folder (so the final rename stays on one volume), and unlike any photo's name.
std::u16string TemporaryCopyName(const std::u16string& destination, int attempt);

}  // namespace tess
