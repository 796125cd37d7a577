#include "app/classes.h"

#include "app/app_delegate.h"
#include "app/application_link_host.h"
#include "link/view_controller.h"
#include "platform/ui/interface_file.h"
#include "platform/update/standard_updater_controller.h"
#include "render/metal_view.h"

namespace tovelin {

void registerClasses() {
  auto& registry = ui::ClassRegistry::shared();
  registry.registerClass<AppDelegate>();
  registry.registerClass<ViewController>([](const base::Coder& coder) {
    auto controller = std::make_shared<ViewController>(coder);
    controller->setHost(std::make_shared<ApplicationLinkHost>());
    return controller;
  });
  registry.registerClass<MetalView>(
      [](const base::Coder& coder) { return MetalView::make(coder); });
  update::registerClasses();
}

}  // namespace tovelin
