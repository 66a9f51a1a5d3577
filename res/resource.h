// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDI_ACTIVE 1000
#define IDI_SUSPENDED 1008

#define IDM_LOAD_CAPTURE_APP 100
#define IDM_UNLOAD 103
#define IDM_SUSPEND 104
#define IDM_PROJECT_FIRST 200

#define IDS_DDE_OUT_OF_MEMORY 1
#define IDS_DDE_NO_CONVERSATION 2
#define IDS_DDE_ERROR 3
#define IDS_DDE_UNABLE_TO_CONNECT 4
