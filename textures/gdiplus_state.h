// GdiplusState: starts GDI+ for the first texture that is loaded and stops it when the last
// texture image is destroyed, so that the decoder runs only while images need it.
#pragma once

#include <cstdint>

#include "textures/gdiplus_state_lock.h"

// ---- Types -----------------------------------------------------------------------------------

// GDI+'s start-up token and the count of live TextureImage objects, guarded by one lock so that
// both stay consistent even if images were used from several threads.
class GdiplusStarter {
 public:
  GdiplusStarter();   // creates the lock
  ~GdiplusStarter();  // stops GDI+ if it is still started, then deletes the lock
  GdiplusStarter(const GdiplusStarter&) = delete;
  GdiplusStarter& operator=(const GdiplusStarter&) = delete;

  // Starts GDI+ unless it is started already. True when it is started.
  bool Start();
  void Stop();

  // One TextureImage more or less. Removing the last one stops GDI+.
  void AddImage();
  void RemoveImage();

  std::uintptr_t Token();  // 0 while GDI+ is not started
  std::int32_t LiveImages();

  // Stops GDI+ and forgets every image (tests only).
  void Reset();

 private:
  StateLock lock_ = nullptr;
  std::uintptr_t token_ = 0;
  std::int32_t liveImages_ = 0;
};

// ---- Process-wide state ----------------------------------------------------------------------

// Created at process start; at exit it stops GDI+ if still started and deletes its lock.
extern GdiplusStarter GdiplusState;
