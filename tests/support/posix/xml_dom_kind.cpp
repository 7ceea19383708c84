#include "support/xml_dom_kind.h"

namespace kalinor::testing {

bool XmlDomIsLibxml2() { return true; }

}  // namespace kalinor::testing
