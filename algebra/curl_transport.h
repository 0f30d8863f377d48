// The integration client's HTTP transport over libcurl: one blocking POST per request, no
// connection kept, bounded by the limits given and by the reply cap.
#pragma once

#include "algebra/integration_transport.h"

// The transport the client uses when its settings name none (one for the process; libcurl's
// global set-up runs once, on first use).
IntegrationTransport& CurlIntegrationTransport();
