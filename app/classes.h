// Makes the application's classes known to the interface-file loader, as the
// desktop platform's runtime knows every class of the program by name.
#pragma once

namespace tovelin {

void registerClasses();

}  // namespace tovelin
