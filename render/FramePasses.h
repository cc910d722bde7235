// One frame of the demo: the shadow, colour and normal passes into the
// off-screen targets, then the pencil composite into the window.
#pragma once

struct DemoRecord;

// Plain: drawn exactly as the passes define it, nothing left out or kept.
void drawFrame(DemoRecord& demo, bool plain = false);
