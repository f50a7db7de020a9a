;;; vorn.lsp - the commands of vorn2020 for the CAD program's command line.
;;;
;;; Load it at every start: add it to the start-up suite (APPLOAD, Contents),
;;; or put (load "vorn.lsp") in the program's acaddoc.lsp. Then type:
;;;   HEDIT    pick a text, a block with attributes or a multiline text
;;;            and edit it                                     (Edit)
;;;   HMTEXT   pick two corners and a line height and write a new
;;;            multiline text                                  (Mtext)
;;;   HTEXT    place a text and type its contents in the line editor
;;;                                                            (Newtext)
;;; When a command fails, the server's error text is printed.

(vl-load-com)

;; Calls METHOD of a new vorn2017.Keltrav with ARGS, and prints why when the
;; object cannot be made or the call fails.
(defun vorn:call (method args / server result)
  (setq server (vl-catch-all-apply 'vlax-create-object '("vorn2017.Keltrav")))
  (cond
    ((or (null server) (vl-catch-all-error-p server))
     (princ "\nvorn2020: vorn2017.Keltrav cannot be created; is vorn2020 installed?"))
    (t
     (setq result (vl-catch-all-apply 'vlax-invoke-method (append (list server method) args)))
     (if (vl-catch-all-error-p result)
       (princ (strcat "\nvorn2020: " (vl-catch-all-error-message result))))
     (vlax-release-object server)))
  (princ))

(defun c:HEDIT () (vorn:call 'Edit nil))

(defun c:HMTEXT () (vorn:call 'Mtext nil))

;; The program's own TEXT command places the text ("x" holds its place; a
;; style of a fixed height asks one question less), then the line editor
;; opens on it, empty.
(defun c:HTEXT ()
  (command "_.TEXT" pause "" "" "x")
  (vorn:call 'Newtext (list (cdr (assoc 5 (entget (entlast)))))))

(princ "\nvorn2020: the commands HEDIT, HMTEXT and HTEXT are loaded.")
(princ)
