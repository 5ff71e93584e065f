// Resource ids of kvoexp.rc: dialog templates, their controls and strings.
#ifndef KVOEXP_RESOURCE_H
#define KVOEXP_RESOURCE_H

#define IDS_CLASS_NAME 1

#define IDD_PROGRESS 112
#define IDD_OPTIONS 1004
#define IDD_OUTPUT 1005
#define IDD_ABOUT 1006

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Page 1005: output directory and Export.
#define IDC_EXPORT 1066
#define IDC_OUTPUT_DIR 1069
#define IDC_BROWSE 1070

// Page 1004: export options.
#define IDC_LOCALIZE 1075
#define IDC_NORMALS 1076
#define IDC_UP_NORMALS 1077
#define IDC_OPTIMIZE 1078
#define IDC_VERTEX_COLORS 1081
#define IDC_GENERATE_SHADER 1082
#define IDC_GENERATE_LOG 1083
#define IDC_GENERATE_GEOMETRY 1085

// Dialog 112: export progress.
#define IDC_OBJECT_PROGRESS 1071
#define IDC_OVERALL_PROGRESS 1072
#define IDC_OVERALL_TEXT 1073
#define IDC_EXPORT_STATUS 1074
#define IDC_DETAILS 1075
#define IDC_CANCEL_CLOSE 1081

#endif
