// The link's two modal dialogs: a warning with one button, and the PIN prompt.

#include "link/view_controller.h"
#include "platform/base/log.h"
#include "platform/ui/alert.h"
#include "platform/ui/text_field.h"

namespace tovelin {

void ViewController::showAlert(const std::string& messageText, const std::string& informativeText) {
  ui::Alert alert;
  alert.setMessageText(messageText);
  alert.setInformativeText(informativeText);
  alert.setAlertStyle(ui::AlertStyle::warning);
  alert.addButtonWithTitle("OK");
  alert.runModal();
}

std::optional<std::string> ViewController::askForPincode() {
  ui::Alert alert;
  alert.setMessageText("Enter your Pincode");
  alert.setInformativeText("Please enter your pincode below.");
  alert.setAlertStyle(ui::AlertStyle::informational);
  auto field = ui::TextField::make(base::makeRect(0, 0, 200, 24));
  field->setPlaceholderString("Pincode");
  alert.setAccessoryView(field);
  alert.addButtonWithTitle("OK");
  alert.addButtonWithTitle("Cancel");
  if (alert.runModal() == ui::AlertFirstButtonReturn) {
    std::string pin = field->stringValue();
    base::printLine("Pincode entered: " + pin);
    return pin;
  }
  base::printLine("Cancelled");
  return std::nullopt;
}

}  // namespace tovelin
