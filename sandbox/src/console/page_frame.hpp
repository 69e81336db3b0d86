#pragma once

#include <string>

namespace QuarloSandbox {

// What every console page shows around its own content.
struct PageFrame {
  std::string title;
  std::string section;   // the navigation entry to highlight: "documentos", "cafs", ...
  bool open = false;     // the sandbox has no API key: the banner says so
  bool session = false;  // a logout button is shown
};

}  // namespace QuarloSandbox
