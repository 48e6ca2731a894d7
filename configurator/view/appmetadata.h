#pragma once

namespace toolkit {
class Application;
}

// Organisation, application name and version of the configurator.
void setApplicationIdentity(toolkit::Application &app);

// Window icon, display name, product icon, web pages and description; set
// after the translations are loaded.
void setApplicationMetadata(toolkit::Application &app);
