// A window's device context, its pixel format and the GL contexts made on it.
#pragma once

#include "platform/Types.h"

namespace ws {

class GlContexts {
 public:
  virtual DeviceContext getDC(WindowHandle window) = 0;
  virtual bool releaseDC(WindowHandle window, DeviceContext dc) = 0;
  virtual int choosePixelFormat(DeviceContext dc, const PixelFormatRequest& request) = 0;
  virtual bool setPixelFormat(DeviceContext dc, int format, const PixelFormatRequest& request) = 0;
  virtual GlContext createContext(DeviceContext dc) = 0;
  virtual bool makeCurrent(DeviceContext dc, GlContext context) = 0;
  virtual bool deleteContext(GlContext context) = 0;
  virtual bool swapBuffers(DeviceContext dc) = 0;

 protected:
  ~GlContexts() = default;
};

GlContexts& glContexts();

}  // namespace ws
