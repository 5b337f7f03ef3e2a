#include "textures/gdiplus_state.h"

#include "textures/image_decoder.h"

GdiplusStarter GdiplusState;

namespace {

class Held {
 public:
  explicit Held(StateLock lock) : lock_(lock) { EnterStateLock(lock_); }
  ~Held() { LeaveStateLock(lock_); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

 private:
  StateLock lock_;
};

}  // namespace

GdiplusStarter::GdiplusStarter() : lock_(CreateStateLock()) {}

GdiplusStarter::~GdiplusStarter() {
  Stop();
  DeleteStateLock(lock_);
}

bool GdiplusStarter::Start() {
  Held held(lock_);
  if (token_ == 0 && DecoderStartup(&token_) != kDecoderOk) token_ = 0;
  return token_ != 0;
}

void GdiplusStarter::Stop() {
  Held held(lock_);
  if (token_ == 0) return;
  DecoderShutdown(token_);
  token_ = 0;
}

void GdiplusStarter::AddImage() {
  Held held(lock_);
  ++liveImages_;
}

void GdiplusStarter::RemoveImage() {
  Held held(lock_);
  if (--liveImages_ > 0 || token_ == 0) return;
  DecoderShutdown(token_);
  token_ = 0;
}

std::uintptr_t GdiplusStarter::Token() {
  Held held(lock_);
  return token_;
}

std::int32_t GdiplusStarter::LiveImages() {
  Held held(lock_);
  return liveImages_;
}

void GdiplusStarter::Reset() {
  Stop();
  Held held(lock_);
  liveImages_ = 0;
}
