#include "browse/Thumbnails.h"

namespace tess {

std::u16string LowerCaseExtension(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return {};
  std::u16string type;
  for (char16_t c : name.substr(dot + 1)) type.push_back(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c);
  return type;
}

bool IsRawFileName(std::u16string_view name) {
  static const char16_t* const kRaws[] = {u"cr2", u"cr3", u"nef", u"nrw", u"arw", u"srf", u"sr2", u"dng", u"orf",
                                          u"rw2", u"rwl", u"pef", u"srw", u"erf", u"3fr", u"iiq", u"mef", u"mos"};
  const std::u16string type = LowerCaseExtension(name);
  for (const char16_t* raw : kRaws)
    if (type == raw) return true;
  return false;
}

namespace {

// The name without its extension, ASCII letters in lower case.
std::u16string LowerCaseStem(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  std::u16string stem(name.substr(0, dot));
  for (char16_t& c : stem)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return stem;
}

}  // namespace

void JpegPairs::Add(std::u16string_view name) {
  const std::u16string type = LowerCaseExtension(name);
  if (type != u"jpg" && type != u"jpeg") return;
  jpegOfStem_.emplace(LowerCaseStem(name), std::u16string(name));
}

std::u16string JpegPairs::PairOf(std::u16string_view rawName) const {
  if (!IsRawFileName(rawName)) return {};
  auto it = jpegOfStem_.find(LowerCaseStem(rawName));
  return it == jpegOfStem_.end() ? std::u16string() : it->second;
}

bool IsPictureFileName(std::u16string_view name) {
  static const char16_t* const kTypes[] = {u"jpg", u"jpeg", u"jpe", u"jfif", u"tif", u"tiff", u"png", u"webp",
                                           u"heic", u"heif", u"hif", u"avif", u"bmp", u"gif", u"cr2", u"cr3",
                                           u"nef", u"nrw", u"arw", u"srf", u"sr2", u"dng", u"orf", u"rw2",
                                           u"rwl", u"pef", u"srw", u"erf", u"3fr", u"iiq", u"mef", u"mos"};
  const std::u16string type = LowerCaseExtension(name);
  if (type.empty() || type.size() > 5) return false;
  for (const char16_t* known : kTypes)
    if (type == known) return true;
  return false;
}

Bitmap TurnBitmap(const Bitmap& stored, OrientationTurn turn) {
  if (stored.Empty() || (turn.quarterTurns == 0 && !turn.mirror)) return stored;
  const int w = stored.width, h = stored.height;
  Bitmap out;
  out.width = turn.SwapsSides() ? h : w;
  out.height = turn.SwapsSides() ? w : h;
  out.sourceWidth = turn.SwapsSides() ? stored.sourceHeight : stored.sourceWidth;
  out.sourceHeight = turn.SwapsSides() ? stored.sourceWidth : stored.sourceHeight;
  out.pixels.resize(stored.pixels.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int sx = turn.mirror ? w - 1 - x : x, sy = y;  // after the mirror
      int tx = sx, ty = sy;
      switch (turn.quarterTurns & 3) {
        case 1: tx = h - 1 - sy, ty = sx; break;
        case 2: tx = w - 1 - sx, ty = h - 1 - sy; break;
        case 3: tx = sy, ty = w - 1 - sx; break;
        default: break;
      }
      out.pixels[static_cast<size_t>(ty) * static_cast<size_t>(out.width) + static_cast<size_t>(tx)] = stored.At(x, y);
    }
  }
  return out;
}

ThumbnailPicture DecodeStoredPicture(std::span<const uint8_t> jpeg, int orientation, int box, ImageDecoder& decoder) {
  ThumbnailPicture out;
  out.orientation = orientation;
  try {
    Bitmap stored;
    if (!jpeg.empty() && decoder.DecodeBytes(jpeg, box, box, stored)) {
      out.bitmap = TurnBitmap(stored, TurnForOrientation(orientation));
      out.origin = ThumbnailOrigin::Stored;
    }
  } catch (const std::exception&) {
  }
  return out;
}

ThumbnailPicture ReadThumbnail(const std::u16string& path, int box, ImageDecoder& decoder, bool decodeFile) {
  ThumbnailPicture out;
  try {
    PictureLocation location;
    std::vector<uint8_t> bytes;
    {
      // The stored picture of most photos lies in the head the stream fetches in one request.
      TFileStream stream(path);
      location = LocateStoredPicture(stream, box);
      if (location.picture.kind == StoredPictureKind::Jpeg) bytes = ReadStoredPicture(stream, location.picture);
      if (bytes.empty() && decodeFile) decodeFile = WorthDecodingWhole(stream);
    }
    out = DecodeStoredPicture(bytes, location.orientation, box, decoder);
    Bitmap whole;
    if (out.origin == ThumbnailOrigin::None && decodeFile && decoder.DecodeFile(path, box, box, whole)) {
      out.bitmap = TurnBitmap(whole, TurnForOrientation(location.orientation));
      out.origin = ThumbnailOrigin::File;
    }
  } catch (const std::exception&) {
    // A file that cannot be opened (gone, locked) keeps its icon.
  }
  return out;
}

int ThumbnailSlots::Find(const void* key) {
  auto it = slotOf_.find(key);
  if (it == slotOf_.end()) return -1;
  recent_.splice(recent_.begin(), recent_, it->second);
  return it->second->second;
}

int ThumbnailSlots::Take(const void* key) {
  int slot;
  if (static_cast<int>(recent_.size()) < capacity_) {
    slot = static_cast<int>(recent_.size());
  } else {
    slot = recent_.back().second;
    slotOf_.erase(recent_.back().first);
    recent_.pop_back();
  }
  recent_.emplace_front(key, slot);
  slotOf_[key] = recent_.begin();
  return slot;
}

void ThumbnailSlots::Clear() {
  recent_.clear();
  slotOf_.clear();
}

ThumbnailReads::ThumbnailReads(Reader reader, std::function<void()> ready, int threads, BytesReader fromBytes)
    : reader_(std::move(reader)),
      fromBytes_(std::move(fromBytes)),
      ready_(std::move(ready)),
      threads_(threads, [this] { Work(); }) {}

ThumbnailReads::~ThumbnailReads() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    stored_.clear();
    files_.clear();
  }
  threads_.Join();
}

void ThumbnailReads::Start(std::u16string folder, int box) {
  std::lock_guard lock(mutex_);
  ++run_;
  folder_ = std::move(folder);
  box_ = box;
  stored_.clear();
  files_.clear();
  results_.clear();
  ready_.Answered();
}

void ThumbnailReads::Ask(const void* key, std::u16string_view name, std::u16string_view pair) {
  std::lock_guard lock(mutex_);
  stored_.push_front({key, std::u16string(name), std::u16string(pair), false, nullptr});
  threads_.Start();
}

void ThumbnailReads::AskDecode(const void* key, std::u16string_view name, std::shared_ptr<const HeadPicture> picture,
                               std::u16string_view pair) {
  std::lock_guard lock(mutex_);
  stored_.push_front({key, std::u16string(name), std::u16string(pair), false, std::move(picture)});
  threads_.Start();
}

std::vector<ThumbnailReads::Result> ThumbnailReads::Take() {
  std::lock_guard lock(mutex_);
  std::vector<Result> out;
  out.swap(results_);
  ready_.Answered();
  return out;
}

int ThumbnailReads::Waiting() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(stored_.size() + files_.size()) + busy_;
}

void ThumbnailReads::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_ || (stored_.empty() && files_.empty())) {
      threads_.Ending();
      return;
    }
    // Decoding a whole file costs far more than a stored picture: it waits until none does.
    std::deque<Job>& queue = stored_.empty() ? files_ : stored_;
    Job job = std::move(queue.front());
    queue.pop_front();
    const uint64_t run = run_;
    const std::u16string path = folder_ + job.name;
    const std::u16string pairPath = job.pair.empty() ? std::u16string() : folder_ + job.pair;
    const int box = box_;
    ++busy_;
    lock.unlock();
    ThumbnailPicture picture;
    // A picture read with the date costs no read of its own; one that fails goes the file's way.
    if (job.head && fromBytes_) picture = fromBytes_(job.head->jpeg, job.head->orientation, box);
    job.head.reset();
    if (picture.origin == ThumbnailOrigin::None) picture = reader_(path, box, job.decodeFile);
    if (picture.origin == ThumbnailOrigin::None && !pairPath.empty()) picture = reader_(pairPath, box, job.decodeFile);
    lock.lock();
    --busy_;
    if (run != run_) continue;  // another folder came meanwhile
    if (picture.origin == ThumbnailOrigin::None && !job.decodeFile) {
      job.decodeFile = true;
      files_.push_front(std::move(job));
      continue;
    }
    results_.push_back({job.key, std::move(picture)});
    ready_.Raise(lock);
  }
}

}  // namespace tess
