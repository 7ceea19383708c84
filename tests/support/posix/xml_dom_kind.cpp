#include "support/xml_dom_kind.h"

namespace kalinor::testing {

bool XmlDomIsPugixml() { return true; }

}  // namespace kalinor::testing
