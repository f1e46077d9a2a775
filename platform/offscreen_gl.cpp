#include "platform/offscreen_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstring>

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLSurface surface = EGL_NO_SURFACE;
EGLContext context = EGL_NO_CONTEXT;

bool has_extension(const char* list, const char* name) {
    const size_t length = std::strlen(name);
    for (const char* at = list; at != nullptr && (at = std::strstr(at, name)) != nullptr;
         at += length) {
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    }
    return false;
}

// The surfaceless platform needs no X or Wayland server and no device file.
EGLDisplay open_surfaceless_display(std::string& failure) {
    const char* client_extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!has_extension(client_extensions, "EGL_MESA_platform_surfaceless")) {
        failure = "EGL has no surfaceless platform (EGL_MESA_platform_surfaceless)";
        return EGL_NO_DISPLAY;
    }
    const auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display == nullptr) {
        failure = "EGL has no eglGetPlatformDisplayEXT";
        return EGL_NO_DISPLAY;
    }
    EGLDisplay opened =
        get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (opened == EGL_NO_DISPLAY || eglInitialize(opened, nullptr, nullptr) != EGL_TRUE) {
        failure = "EGL could not open its surfaceless display";
        return EGL_NO_DISPLAY;
    }
    return opened;
}

bool make_context(int width, int height, std::string& failure) {
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        failure = "EGL offers no desktop OpenGL";
        return false;
    }
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE,
                                        EGL_PBUFFER_BIT,
                                        EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_BIT,
                                        EGL_RED_SIZE,
                                        8,
                                        EGL_GREEN_SIZE,
                                        8,
                                        EGL_BLUE_SIZE,
                                        8,
                                        EGL_ALPHA_SIZE,
                                        8,
                                        EGL_DEPTH_SIZE,
                                        16,
                                        EGL_NONE};
    EGLConfig config = nullptr;
    EGLint config_count = 0;
    if (eglChooseConfig(display, config_attributes, &config, 1, &config_count) != EGL_TRUE ||
        config_count < 1) {
        failure = "EGL has no RGBA, depth-buffered pbuffer for OpenGL";
        return false;
    }
    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, surface_attributes);
    if (surface == EGL_NO_SURFACE) {
        failure = "EGL could not make a pbuffer of that size";
        return false;
    }
    // The drawing uses OpenGL 1.1 calls, which only a compatibility profile keeps.
    const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                         EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT) {
        failure = "EGL could not make an OpenGL compatibility context";
        return false;
    }
    if (eglMakeCurrent(display, surface, surface, context) != EGL_TRUE) {
        failure = "EGL could not make the context current";
        return false;
    }
    return true;
}

} // namespace

bool open_offscreen_gl(int width, int height, std::string& failure) {
    display = open_surfaceless_display(failure);
    if (display == EGL_NO_DISPLAY)
        return false;
    if (!make_context(width, height, failure)) {
        close_offscreen_gl();
        return false;
    }
    return true;
}

void close_offscreen_gl() {
    if (display == EGL_NO_DISPLAY)
        return;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context != EGL_NO_CONTEXT)
        eglDestroyContext(display, context);
    if (surface != EGL_NO_SURFACE)
        eglDestroySurface(display, surface);
    eglTerminate(display);
    display = EGL_NO_DISPLAY;
    surface = EGL_NO_SURFACE;
    context = EGL_NO_CONTEXT;
}
