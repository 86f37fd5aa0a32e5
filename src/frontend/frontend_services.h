// Hands the configuration the front-end's media, autorun and window services.
#pragma once

void installFrontendServices();
