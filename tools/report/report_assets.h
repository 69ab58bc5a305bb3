// The files the report page carries inside itself, compiled into the program from
// tools/report/ and its vendor folder (see embed_assets.cmake).
#pragma once

extern const char uplotScript[]; // the chart library
extern const char uplotStyle[];  // its style sheet
extern const char pageScript[];  // report_page.js
extern const char pageStyle[];   // report_page.css
