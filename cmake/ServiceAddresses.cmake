# The service's own addresses, set at build time. The defaults point at the
# local stand-in service in tools/, so a fresh checkout runs on one machine.
set(RAVELO_SITE_ROOT "http://127.0.0.1:8080/" CACHE STRING
    "Service site root: initial and fallback WebServer (http URL ending in /)")
set(RAVELO_DISCOVERY_HOST "127.0.0.1:8080" CACHE STRING
    "Host (optionally host:port) that answers SIP server discovery")
set(RAVELO_DEFAULT_SIP_SERVER "127.0.0.1:5060" CACHE STRING
    "SIP server used when discovery fails (host:port)")
set(RAVELO_SECONDARY_SIP_HOST "127.0.0.1" CACHE STRING
    "Initial SipServer: the service's secondary SIP host, without port")
set(RAVELO_SIP_DOMAIN "127.0.0.1" CACHE STRING
    "SIP domain of text-message addresses sip:86<number>@<domain>")
configure_file(${CMAKE_CURRENT_LIST_DIR}/../core/service_addresses.h.in
               ${CMAKE_BINARY_DIR}/generated/service_addresses.h @ONLY)
