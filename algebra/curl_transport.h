// The integration client's HTTP transport over libcurl: one blocking POST per request, no
// connection kept, bounded by the settings' connect and total timeouts and by the reply cap.
#pragma once

#include "algebra/remote_integration.h"

// The transport the client uses when the settings name none (one for the process; libcurl's
// global set-up runs once, on first use).
IntegrationTransport& CurlIntegrationTransport();
