// Resource identifiers shared by the program sources and standin.rc.in.
#ifndef TOVARA_STANDIN_IDS_H
#define TOVARA_STANDIN_IDS_H

#define IDR_HELP_TEXT 101
#define IDR_DATA_TABLE 102

#endif
