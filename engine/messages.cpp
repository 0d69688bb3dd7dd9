#include "messages.h"

#include <cerrno>
#include <cmath>
#include <cstring>

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

std::string FailureText(const FileError& e, NameStyle names) {
  using Op = FileError::Operation;
  const auto Quoted = [names](const std::string& path) {
    return "«" + (names != nullptr ? names(path) : path) + "»";
  };
  std::string what;
  switch (e.operation) {
    case Op::kCreateFolder:
      what = "Не удалось создать папку " + Quoted(e.path);
      break;
    case Op::kBackup:
      what = "Не удалось сделать резервную копию файла " + Quoted(e.path) + " в " + Quoted(e.other);
      break;
    case Op::kOpen:
      what = "Не удалось открыть файл " + Quoted(e.path);
      break;
    case Op::kRead:
      what = "Не удалось прочитать файл " + Quoted(e.path);
      break;
    case Op::kSize:
      what = "Не удалось узнать размер файла " + Quoted(e.path);
      break;
    case Op::kCreateTemp:
      what = "Не удалось создать временный файл " + Quoted(e.path);
      break;
    case Op::kTempLocked:
      what = "Временный файл " + Quoted(e.path) +
             " занят другой копией программы. Дождитесь окончания её работы и повторите";
      break;
    case Op::kWriteTemp:
      what = "Не удалось записать временный файл " + Quoted(e.path);
      break;
    case Op::kReplace:
      what = "Не удалось записать файл " + Quoted(e.path) + " (он остался без изменений)";
      break;
    case Op::kDeleteTemp:
      what = "Не удалось удалить временный файл " + Quoted(e.path);
      break;
    case Op::kUntrustedLink:
      what = "Файл " + Quoted(e.path) +
             " не обработан: это символическая ссылка другого пользователя, а не владельца "
             "файла, на который она указывает";
      break;
    case Op::kTempUnsafe:
      what = "Временный файл " + Quoted(e.path) +
             " не используется: это не обычный файл текущего пользователя (ссылка, чужой файл "
             "или файл с другими жёсткими ссылками). Удалите его и повторите";
      break;
    case Op::kWriteProtected:
      what = "Файл " + Quoted(e.path) + " защищён от записи (он остался без изменений)";
      break;
    case Op::kNotRegular:
      what = "Файл " + Quoted(e.path) + " не обработан: это не обычный файл (канал, устройство " +
             "или сокет)";
      break;
    case Op::kChanged:
      what = "Файл " + Quoted(e.path) +
             " изменён другой программой во время оптимизации (он остался таким, каким его "
             "сохранила та программа)";
      break;
    case Op::kOutOfMemory:
      what = "Недостаточно памяти для файла " + Quoted(e.path) + " (он остался без изменений)";
      break;
    case Op::kSetIdBits:
      what = "Файл " + Quoted(e.path) +
             " не обработан: при перезаписи чужого файла он потерял бы биты смены владельца "
             "(set-user-ID, set-group-ID)";
      break;
    case Op::kOverwrite:
      what = "Запись файла " + Quoted(e.path) + " прервана. Его новое содержимое сохранено в " +
             Quoted(e.other) + " и будет дописано при следующем запуске в этой папке";
      break;
    case Op::kRecover:
      what = "Не удалось завершить прерванную запись файла " + Quoted(e.path);
      break;
    case Op::kOpenFolder:
      what = "Не удалось открыть папку " + Quoted(e.path);
      break;
    case Op::kFolderChanged:
      what = "Папка " + Quoted(e.path) +
             " подменена или изменена другой программой во время оптимизации; в ней ничего не "
             "записано";
      break;
    case Op::kFolderBusy:
      what = "В папке " + Quoted(e.path) +
             " уже идёт другая оптимизация. Дождитесь окончания её работы и повторите";
      break;
    case Op::kSyncFolder:
      what = "Не удалось сохранить на диске изменения в папке " + Quoted(e.path);
      break;
  }
  if (e.error != 0) what += ": " + ReasonText(e.error);
  return "Оптимизация остановлена." + std::string(kMessageLineEnd) + what + ".";
}

}  // namespace slimtag
