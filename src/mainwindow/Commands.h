#pragma once
// Command ids of the main window's menus, accelerators and posted commands.

namespace tessarine {

enum CommandId : int {
    IDM_ABOUTBOX = 16,
    ID_SUBSCRIBE = 1002,
    ID_CHECK_NEW_ITEMS = 1003,
    ID_SETTINGS = 1005,
    ID_REMOVE_PODCAST = 32775,
    ID_SET_BASE_DIRECTORY = 32778,
    ID_ABOUT = 32782,
    ID_QUIT_COMMAND = 32784,
    ID_UPDATE_THIS_PODCAST = 32789,
    ID_OPEN_PODCAST_FOLDER = 32794,
    ID_OPEN_BASE_DIRECTORY = 32795,
    ID_INFORMATION = 32797,
    ID_IMPORT_SUBSCRIPTIONS = 32800,
    ID_EXPORT_SUBSCRIPTIONS = 32801,
    ID_SHOW_EPISODES = 32810,
    ID_PODCAST_SETTINGS = 32900,
    ID_FIND_PODCASTS = 32811,
};

// Control ids of the main window.
enum ControlId : int {
    IDC_DOWNLOAD_LIST = 1000,
    IDC_SUBSCRIPTION_LIST = 1001,
    IDC_LABEL_SUBSCRIBED = 1009,
    IDC_LABEL_DOWNLOADS = 1010,
    IDC_SPLITTER = 1020,
};

} // namespace tessarine
