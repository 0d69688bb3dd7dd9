#include <gtest/gtest.h>

#include <cerrno>
#include <iterator>
#include <string>

#include "run/file_operations.h"
#include "run/messages.h"

namespace slimtag {
namespace {

struct WordingCase {
  FileError::Operation operation;
  const char* name;  // in the JSON report
  int error;
  const char* text;  // PageFailureText of the operation on "a" (and "b")
};

using Op = FileError::Operation;
const WordingCase kWordings[] = {
    {Op::kCreateFolder, "create_folder", EACCES, "Не удалось создать папку «a»: нет прав доступа."},
    {Op::kBackup, "backup", ENOSPC,
     "Не удалось сделать резервную копию файла «a» в «b»: на диске нет свободного места."},
    {Op::kOpen, "open", ENOENT, "Не удалось открыть файл «a»: файл или папка не найдены."},
    {Op::kRead, "read", EIO, "Не удалось прочитать файл «a»: ошибка ввода-вывода."},
    {Op::kSize, "size", EIO, "Не удалось узнать размер файла «a»: ошибка ввода-вывода."},
    {Op::kCreateTemp, "create_temp", EROFS,
     "Не удалось создать временный файл «a»: файловая система доступна только для чтения."},
    {Op::kTempLocked, "temp_locked", 0,
     "Временный файл «a» занят другой копией программы. Дождитесь окончания её работы и "
     "повторите."},
    {Op::kWriteTemp, "write_temp", EDQUOT,
     "Не удалось записать временный файл «a»: превышена дисковая квота."},
    {Op::kReplace, "replace", EIO,
     "Не удалось записать файл «a» (он остался без изменений): ошибка ввода-вывода."},
    {Op::kDeleteTemp, "delete_temp", EBUSY, "Не удалось удалить временный файл «a»: файл занят."},
    {Op::kUntrustedLink, "untrusted_link", 0,
     "Файл «a» не обработан: это символическая ссылка другого пользователя, а не владельца файла, "
     "на который она указывает."},
    {Op::kTempUnsafe, "temp_unsafe", 0,
     "Временный файл «a» не используется: это не обычный файл текущего пользователя (ссылка, чужой "
     "файл или файл с другими жёсткими ссылками). Удалите его и повторите."},
    {Op::kWriteProtected, "write_protected", 0,
     "Файл «a» защищён от записи (он остался без изменений)."},
    {Op::kNotRegular, "not_regular", 0,
     "Файл «a» не обработан: это не обычный файл (канал, устройство или сокет)."},
    {Op::kChanged, "changed", 0,
     "Файл «a» изменён другой программой во время оптимизации (он остался таким, каким его "
     "сохранила та программа)."},
    {Op::kOutOfMemory, "out_of_memory", 0,
     "Недостаточно памяти для файла «a» (он остался без изменений)."},
    {Op::kSetIdBits, "set_id_bits", 0,
     "Файл «a» не обработан: при перезаписи чужого файла он потерял бы биты смены владельца "
     "(set-user-ID, set-group-ID)."},
    {Op::kOverwrite, "overwrite", ENOSPC,
     "Запись файла «a» прервана. Его новое содержимое сохранено в «b» и будет дописано при "
     "следующем запуске в этой папке: на диске нет свободного места."},
    {Op::kRecover, "recover", EPERM,
     "Не удалось завершить прерванную запись файла «a»: операция не разрешена."},
    {Op::kOpenFolder, "open_folder", ENOTDIR,
     "Не удалось открыть папку «a»: часть пути не является папкой."},
    {Op::kFolderChanged, "folder_changed", 0,
     "Папка «a» подменена или изменена другой программой во время оптимизации; в ней ничего не "
     "записано."},
    {Op::kFolderBusy, "folder_busy", 0,
     "В папке «a» уже идёт другая оптимизация. Дождитесь окончания её работы и повторите."},
    {Op::kSyncFolder, "sync_folder", EIO,
     "Не удалось сохранить на диске изменения в папке «a»: ошибка ввода-вывода."},
    {Op::kRunFailed, "run_failed", ENOMEM, "Работа в папке «a» прервана: недостаточно памяти."},
    {Op::kOverlayLinks, "overlay_links", 0,
     "Файл «a» не обработан: у него несколько жёстких ссылок, а на overlayfs запись могла бы "
     "отделить его от остальных (он остался без изменений)."},
};
static_assert(std::size(kWordings) == static_cast<std::size_t>(Op::kCount));

// Every operation's warning, word for word, and its name in the report; the window's message
// puts the line of the stop before it.
TEST(Messages, EachFailedOperationIsWordedWithItsFilesAndItsReason) {
  for (std::size_t i = 0; i < std::size(kWordings); ++i) {
    const WordingCase& c = kWordings[i];
    SCOPED_TRACE(c.name);
    ASSERT_EQ(static_cast<std::size_t>(c.operation), i);
    const FileError error(c.operation, "a", c.error, "b");
    EXPECT_EQ(PageFailureText(error), c.text);
    EXPECT_EQ(FailureText(error), std::string("Оптимизация остановлена.\r\n") + c.text);
    EXPECT_EQ(FileOperationOf(c.operation).name, c.name);
  }
}

// The bytes removed over a hundredth of the size before, rounded half to the even neighbour.
TEST(Messages, StatisticsRoundThePercentageHalfToEven) {
  const struct {
    std::int64_t before, after;
    const char* removed;
  } cases[] = {{200, 175, "25 байт. (12%)"},
               {200, 173, "27 байт. (14%)"},
               {15, 15, "0 байт. (0%)"},
               {200, 205, "-5 байт. (-2%)"},
               {200, 207, "-7 байт. (-4%)"}};
  for (const auto& c : cases) {
    RunStats stats;
    stats.AddPage(c.before, c.after);
    EXPECT_EQ(StatisticsText(stats),
              "1 файл(ов) обработано.\r\nРазмер до оптимизации: " + std::to_string(c.before) +
                  " байт.\r\nРазмер после оптимизации: " + std::to_string(c.after) +
                  " байт.\r\n\r\nУдалено: " + c.removed);
  }
}

}  // namespace
}  // namespace slimtag
