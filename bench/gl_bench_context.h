// The GL context benchmarks draw into: the tests' hidden SDL window with a legacy context like
// the program's, current for the whole run. Needs an X display; run under tools/with-xvfb.sh.
#pragma once
#include "support/gl_context.h"

using GlBenchContext = GlContext;

// The one context of the run (opened by the benchmark program's main), for benchmarks that
// need its size.
const GlBenchContext& benchContext();

// A dashboard cell over the whole window: viewport, gluOrtho2D(0, 1000, 0, 1000), identity
// modelview.
void useDashboardCell(const GlBenchContext& gl);
