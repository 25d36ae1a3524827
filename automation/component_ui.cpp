#include "automation/component_ui.h"

#include <atomic>

namespace tarvik::automation {
namespace {
std::atomic<UiServices*> g_installed{nullptr};
}  // namespace

UiServices& Ui() {
  UiServices* ui = g_installed.load();
  return ui ? *ui : tarvik::Ui();
}

void InstallComponentUi(UiServices* ui) { g_installed.store(ui); }

}  // namespace tarvik::automation
