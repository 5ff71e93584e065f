// The text of kvoexp.rc and resource.h, embedded at build time for the
// headless window stand-in (not built on Windows, where the resource
// compiler puts the resources into the DLL).
#pragma once

const char* EmbeddedResourceScript();
const char* EmbeddedResourceHeader();
