#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "platform.h"

namespace slimtag {

// How far the failure of an operation reaches when the run goes on past pages that fail.
enum class FailureReach {
  kPage,      // the page's own: the run goes on with the next page
  kRun,       // its folders, backup folder, temporary file, the names it gave, or a page left
              // half rewritten for the next run to complete: the run cannot go on
  kTempFile,  // the run's one temporary file where it has one, else the page's own side file
};

// What the program knows of a file operation that can fail: its name in the batch tool's JSON
// report, how far its failure reaches, and how its warning reads (the text before the file's
// name; where there is a second file, the text before that one's name; then the text after the
// last name).
struct FileOperation {
  FileError::Operation operation;
  std::string_view name;
  FailureReach reach;
  std::string_view before;
  std::string_view between;  // empty where there is no second file
  std::string_view after;
};

inline constexpr FileOperation kFileOperations[] = {
    {FileError::Operation::kCreateFolder,
     "create_folder",
     FailureReach::kRun,
     "Не удалось создать папку ",
     {},
     {}},
    {FileError::Operation::kBackup,
     "backup",
     FailureReach::kPage,
     "Не удалось сделать резервную копию файла ",
     " в ",
     {}},
    {FileError::Operation::kOpen, "open", FailureReach::kPage, "Не удалось открыть файл ", {}, {}},
    {FileError::Operation::kRead,
     "read",
     FailureReach::kPage,
     "Не удалось прочитать файл ",
     {},
     {}},
    {FileError::Operation::kSize,
     "size",
     FailureReach::kPage,
     "Не удалось узнать размер файла ",
     {},
     {}},
    {FileError::Operation::kCreateTemp,
     "create_temp",
     FailureReach::kTempFile,
     "Не удалось создать временный файл ",
     {},
     {}},
    {FileError::Operation::kTempLocked,
     "temp_locked",
     FailureReach::kRun,
     "Временный файл ",
     {},
     " занят другой копией программы. Дождитесь окончания её работы и повторите"},
    {FileError::Operation::kWriteTemp,
     "write_temp",
     FailureReach::kPage,
     "Не удалось записать временный файл ",
     {},
     {}},
    {FileError::Operation::kReplace,
     "replace",
     FailureReach::kPage,
     "Не удалось записать файл ",
     {},
     " (он остался без изменений)"},
    {FileError::Operation::kDeleteTemp,
     "delete_temp",
     FailureReach::kRun,
     "Не удалось удалить временный файл ",
     {},
     {}},
    {FileError::Operation::kUntrustedLink,
     "untrusted_link",
     FailureReach::kPage,
     "Файл ",
     {},
     " не обработан: это символическая ссылка другого пользователя, а не владельца файла, на "
     "который она указывает"},
    {FileError::Operation::kTempUnsafe,
     "temp_unsafe",
     FailureReach::kRun,
     "Временный файл ",
     {},
     " не используется: это не обычный файл текущего пользователя (ссылка, чужой файл или файл "
     "с другими жёсткими ссылками). Удалите его и повторите"},
    {FileError::Operation::kWriteProtected,
     "write_protected",
     FailureReach::kPage,
     "Файл ",
     {},
     " защищён от записи (он остался без изменений)"},
    {FileError::Operation::kNotRegular,
     "not_regular",
     FailureReach::kPage,
     "Файл ",
     {},
     " не обработан: это не обычный файл (канал, устройство или сокет)"},
    {FileError::Operation::kChanged,
     "changed",
     FailureReach::kPage,
     "Файл ",
     {},
     " изменён другой программой во время оптимизации (он остался таким, каким его сохранила "
     "та программа)"},
    {FileError::Operation::kOutOfMemory,
     "out_of_memory",
     FailureReach::kPage,
     "Недостаточно памяти для файла ",
     {},
     " (он остался без изменений)"},
    {FileError::Operation::kSetIdBits,
     "set_id_bits",
     FailureReach::kPage,
     "Файл ",
     {},
     " не обработан: при перезаписи чужого файла он потерял бы биты смены владельца "
     "(set-user-ID, set-group-ID)"},
    {FileError::Operation::kOverwrite, "overwrite", FailureReach::kRun, "Запись файла ",
     " прервана. Его новое содержимое сохранено в ",
     " и будет дописано при следующем запуске в этой папке"},
    {FileError::Operation::kRecover,
     "recover",
     FailureReach::kRun,
     "Не удалось завершить прерванную запись файла ",
     {},
     {}},
    {FileError::Operation::kOpenFolder,
     "open_folder",
     FailureReach::kRun,
     "Не удалось открыть папку ",
     {},
     {}},
    {FileError::Operation::kFolderChanged,
     "folder_changed",
     FailureReach::kRun,
     "Папка ",
     {},
     " подменена или изменена другой программой во время оптимизации; в ней ничего не записано"},
    {FileError::Operation::kFolderBusy,
     "folder_busy",
     FailureReach::kRun,
     "В папке ",
     {},
     " уже идёт другая оптимизация. Дождитесь окончания её работы и повторите"},
    {FileError::Operation::kSyncFolder,
     "sync_folder",
     FailureReach::kRun,
     "Не удалось сохранить на диске изменения в папке ",
     {},
     {}},
    {FileError::Operation::kRunFailed,
     "run_failed",
     FailureReach::kRun,
     "Работа в папке ",
     {},
     " прервана"},
    {FileError::Operation::kOverlayLinks,
     "overlay_links",
     FailureReach::kPage,
     "Файл ",
     {},
     " не обработан: у него несколько жёстких ссылок, а на overlayfs запись могла бы "
     "отделить его от остальных (он остался без изменений)"},
};

// One row per operation, in the order of their values, so that a row is found by its value.
constexpr bool EveryOperationHasItsRow() {
  for (std::size_t i = 0; i < std::size(kFileOperations); ++i) {
    if (static_cast<std::size_t>(kFileOperations[i].operation) != i) return false;
  }
  return std::size(kFileOperations) == static_cast<std::size_t>(FileError::Operation::kCount);
}
static_assert(EveryOperationHasItsRow(), "kFileOperations needs one row per operation, in order");

constexpr const FileOperation& FileOperationOf(FileError::Operation operation) {
  return kFileOperations[static_cast<std::size_t>(operation)];
}

}  // namespace slimtag
