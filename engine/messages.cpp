#include "messages.h"

#include <string_view>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "file_operations.h"

namespace slimtag {

double PercentRemoved(std::int64_t size_before, std::int64_t size_after) {
  return static_cast<double>(size_before - size_after) / (static_cast<double>(size_before) / 100.0);
}

std::int64_t RoundedPercent(double percent) {
  // nearbyint rounds in the default mode, to nearest with halves to even.
  return static_cast<std::int64_t>(std::nearbyint(percent));
}

std::string StatisticsText(std::uint64_t files_done, std::int64_t size_before,
                           std::int64_t size_after, double saved_percent) {
  std::string text;
  text += std::to_string(files_done) + " файл(ов) обработано.";
  text += kMessageLineEnd;
  text += "Размер до оптимизации: " + std::to_string(size_before) + " байт.";
  text += kMessageLineEnd;
  text += "Размер после оптимизации: " + std::to_string(size_after) + " байт.";
  text += kMessageLineEnd;
  text += kMessageLineEnd;
  text += "Удалено: " + std::to_string(size_before - size_after) + " байт. (" +
          std::to_string(RoundedPercent(saved_percent)) + "%)";
  return text;
}

std::string StoppedText(std::uint64_t files_done, std::int64_t size_before,
                        std::int64_t size_after) {
  std::string text(kRunStopped);
  text += kMessageLineEnd;
  text += kMessageLineEnd;
  // No percentage of nothing: empty pages alone give only their count.
  if (size_before == 0) return text + std::to_string(files_done) + " файл(ов) обработано.";
  return text + StatisticsText(files_done, size_before, size_after,
                               PercentRemoved(size_before, size_after));
}

std::string ReasonText(int error) {
  switch (error) {
    case ENOENT:
      return "файл или папка не найдены";
    case EACCES:
      return "нет прав доступа";
    case EPERM:
      return "операция не разрешена";
    case ENOSPC:
      return "на диске нет свободного места";
    case EDQUOT:
      return "превышена дисковая квота";
    case EROFS:
      return "файловая система доступна только для чтения";
    case EISDIR:
      return "это папка, а не файл";
    case ENOTDIR:
      return "часть пути не является папкой";
    case EEXIST:
      return "такое имя уже занято";
    case EIO:
      return "ошибка ввода-вывода";
    case ENAMETOOLONG:
      return "слишком длинное имя";
    case EMFILE:
    case ENFILE:
      return "открыто слишком много файлов";
    case EBUSY:
    case ETXTBSY:
      return "файл занят";
    case ELOOP:
      return "слишком много символических ссылок";
    case EFBIG:
      return "файл слишком велик";
    case ENOMEM:
      return "недостаточно памяти";
    case EBADF:
      return "поток закрыт";
    case EPIPE:
      return "получатель данных закрыл канал";
    case EXDEV:
      return "файлы на разных файловых системах";
    case ENXIO:
      return "устройство или адрес не существует";
    case EAGAIN:
      return "ресурс временно недоступен";
    case EINVAL:
      return "недопустимый аргумент";
    case ENOTEMPTY:
      return "папка не пуста";
    case ESTALE:
      return "устаревший дескриптор сетевого файла";
    case ENOTSUP:
      return "операция не поддерживается";
    default:
      // A reason not translated here still says what the system said.
      return "системная ошибка " + std::to_string(error) + " (" + std::strerror(error) + ")";
  }
}

std::string WithRecoveryLines(std::string text, const std::vector<Recovery>& recovered,
                              NameStyle names) {
  for (const Recovery& recovery : recovered) {
    text += std::string(kMessageLineEnd) + RecoveryText(recovery, names);
  }
  return text;
}

std::string EndOfRunText(const FileError* failure, std::uint64_t files_done,
                         std::int64_t size_before, std::int64_t size_after,
                         const std::vector<Recovery>& recovered, NameStyle names) {
  std::string text;
  if (failure != nullptr) {
    text = FailureText(*failure, names);
  } else if (size_before == 0) {
    text = kNoFilesSelected;
  } else {
    text = StatisticsText(files_done, size_before, size_after,
                          PercentRemoved(size_before, size_after));
  }
  return WithRecoveryLines(std::move(text), recovered, names);
}

std::string RecoveryText(const Recovery& recovery, NameStyle names) {
  const auto Quoted = [names](const std::string& path) {
    return "«" + (names != nullptr ? names(path) : path) + "»";
  };
  if (recovery.kept_as.empty()) {
    return "Запись файла " + Quoted(recovery.page) +
           ", прерванная при прошлом запуске, завершена: он содержит результат оптимизации.";
  }
  return "Запись файла " + Quoted(recovery.page) +
         ", прерванная при прошлом запуске, не завершена: файл изменён после неё и оставлен "
         "как есть. Его оптимизированное содержимое сохранено в файле " +
         Quoted(recovery.kept_as) + ".";
}

std::string PageFailureText(const FileError& e, NameStyle names) {
  const auto quoted = [names](const std::string& path) {
    return "«" + (names != nullptr ? names(path) : path) + "»";
  };
  const FileOperation& w = FileOperationOf(e.operation);
  std::string what = std::string(w.before) + quoted(e.path);
  if (!w.between.empty()) what += std::string(w.between) + quoted(e.other);
  what += w.after;
  if (e.error != 0) what += ": " + ReasonText(e.error);
  return what + ".";
}

std::string FailureText(const FileError& e, NameStyle names) {
  return "Оптимизация остановлена." + std::string(kMessageLineEnd) + PageFailureText(e, names);
}

}  // namespace slimtag
