#pragma once

class Platform;

// Chooses the backends for this session and fills `platform`:
//  - RONDIX_PLATFORM=fake: the recording fakes of platform/fake (tests);
//  - an X11 session (Qt's xcb platform, or DISPLAY set): the X11 backend;
//  - a Wayland session (Qt's wayland platform, or WAYLAND_DISPLAY set): the
//    Wayland backend, with what the compositor's protocols allow;
//  - freedesktop services (GIO, D-Bus, canberra) and PulseAudio wherever they work;
//  - anything still missing gets a null backend that does nothing, never a crash.
void loadPlatform(Platform& platform);

// Backend installers; each fills the services it provides and leaves the rest.
void installFakeBackends(Platform& platform);
bool installX11Backends(Platform& platform);     // false when no X server can be reached
bool installWaylandBackends(Platform& platform); // false when no compositor can be reached
void installFreedesktopBackends(Platform& platform);
void installPulseBackends(Platform& platform);
void installNullBackends(Platform& platform);    // fills every service still missing
