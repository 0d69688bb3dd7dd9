#include "messages.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "file_operations.h"

namespace slimtag {

std::int64_t RoundedPercent(double percent) {
  // nearbyint rounds in the default mode, to nearest with halves to even.
  return static_cast<std::int64_t>(std::nearbyint(percent));
}

std::string StatisticsText(const RunStats& stats) {
  std::string text;
  text += std::to_string(stats.FilesDone) + " файл(ов) обработано.";
  text += kMessageLineEnd;
  text += "Размер до оптимизации: " + std::to_string(stats.SizeBefore) + " байт.";
  text += kMessageLineEnd;
  text += "Размер после оптимизации: " + std::to_string(stats.SizeAfter) + " байт.";
  text += kMessageLineEnd;
  text += kMessageLineEnd;
  text += "Удалено: " + std::to_string(stats.SizeBefore - stats.SizeAfter) + " байт. (" +
          std::to_string(RoundedPercent(stats.SavedPercent())) + "%)";
  return text;
}

std::string StoppedText(const RunStats& stats) {
  std::string text(kRunStopped);
  text += kMessageLineEnd;
  text += kMessageLineEnd;
  // No percentage of nothing: empty pages alone give only their count.
  if (stats.NothingSelected())
    return text + std::to_string(stats.FilesDone) + " файл(ов) обработано.";
  return text + StatisticsText(stats);
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
    case ENOSYS:
      return "функция не поддерживается файловой системой";
    case ENOTRECOVERABLE:
      return "внутренняя ошибка программы";
    case ENOTCONN:
      return "файловая система отключена";
    case ETIMEDOUT:
      return "истекло время ожидания";
    case EINTR:
      return "операция прервана";
    case EMLINK:
      return "слишком много ссылок на файл";
    case EOVERFLOW:
      return "значение слишком велико";
    case ENODEV:
    case ENOMEDIUM:
      return "устройство отсутствует";
    case ENODATA:
      return "нет данных";
    case ECONNRESET:
    case ECONNABORTED:
      return "соединение разорвано";
    case EHOSTUNREACH:
    case ENETUNREACH:
      return "сеть недоступна";
    case EREMOTEIO:
      return "ошибка ввода-вывода на удалённой стороне";
    case ECANCELED:
      return "операция отменена";
    case EDEADLK:
      return "взаимная блокировка";
    case ENOLCK:
      return "не хватает блокировок файлов";
    case ENOKEY:
      return "нет ключа шифрования папки";
    case EUCLEAN:
    case EBADMSG:
      return "файловая система повреждена";
    case EILSEQ:
      return "имя недопустимо в этой файловой системе";
    case ESHUTDOWN:
      return "файловая система остановлена";
    case ENOLINK:
      return "связь с файловой системой разорвана";
    case ESPIPE:
      return "файл не допускает перемещения по нему";
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

namespace {

// How the messages say why pages were left as they were: for a count of them, and for one.
struct LeftAloneWording {
  LeftAlone reason;
  std::string_view pages;
  std::string_view page;
};

constexpr LeftAloneWording kLeftAloneWordings[] = {
    {LeftAlone::kNotText, "это не текст", "это не текст"},
    {LeftAlone::kNoEncoding,
     "их кодировка (UTF-16 без метки порядка байтов, UTF-32, UTF-7, ISO-2022) не поддерживается",
     "его кодировка (UTF-16 без метки порядка байтов, UTF-32, UTF-7, ISO-2022) не "
     "поддерживается"},
};

}  // namespace

std::string LeftAlonePageText(LeftAlone reason) {
  for (const LeftAloneWording& w : kLeftAloneWordings) {
    if (w.reason == reason) return "оставлен как есть: " + std::string(w.page);
  }
  return {};
}

std::string WithLeftAloneLines(std::string text, const std::vector<LeftAlonePage>& left_alone) {
  for (const LeftAloneWording& w : kLeftAloneWordings) {
    const auto count = std::count_if(left_alone.begin(), left_alone.end(),
                                     [&w](const LeftAlonePage& p) { return p.reason == w.reason; });
    if (count == 0) continue;
    text += std::string(kMessageLineEnd) + std::to_string(count) +
            " файл(ов) оставлено как есть: " + std::string(w.pages) + ".";
  }
  return text;
}

std::string EndOfRunText(const FileError* failure, const RunStats& stats,
                         const std::vector<LeftAlonePage>& left_alone,
                         const std::vector<Recovery>& recovered, NameStyle names) {
  std::string text;
  if (failure != nullptr) {
    text = FailureText(*failure, names);
  } else if (stats.NothingSelected()) {
    text = kNoFilesSelected;
  } else {
    text = StatisticsText(stats);
  }
  return WithRecoveryLines(WithLeftAloneLines(std::move(text), left_alone), recovered, names);
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
