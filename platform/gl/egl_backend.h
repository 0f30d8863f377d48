// The real GL backend: Mesa through EGL with no window system. The display is the surfaceless
// platform, or else the device platform's software device; contexts are compatibility-profile
// desktop GL (the ARB programs, client arrays and fixed-function state need it), each on its own
// (no sharing), made current with no surface and drawing into framebuffer objects.
#pragma once

#include "platform/gl/gl_backend.h"

class EGLBackend : public GLBackend {
 public:
  EGLBackend() = default;
  ~EGLBackend() override;
  EGLBackend(const EGLBackend&) = delete;
  EGLBackend& operator=(const EGLBackend&) = delete;

  bool Available() override;
  PlatformGLContext* CreateContext(const GLContextRequest& request) override;
  void DestroyContext(PlatformGLContext* context) override;
  bool MakeCurrent(PlatformGLContext* context) override;
  PlatformGLContext* CurrentContext() const override { return current_; }
  bool ResizeFramebuffer(PlatformGLContext* context, int32_t width, int32_t height) override;
  bool BindFrameForReading(PlatformGLContext* context) override;
  const GLEntryPoints& Api() const override { return gl_; }
  int32_t LiveContextCount() const override { return live_; }

  // "surfaceless" or "device", once the display is open; else "none".
  const char* PlatformName() const { return platformName_; }

 private:
  bool OpenDisplay();

  void* display_ = nullptr;  // EGLDisplay
  bool probed_ = false;
  bool usable_ = false;
  const char* platformName_ = "none";
  GLEntryPoints gl_;
  PlatformGLContext* current_ = nullptr;
  int32_t live_ = 0;
  uint64_t nextSerial_ = 1;
};
